// Orvex artwork generator: the splash picture.
//
// A light grey card: a staff of music sweeping across the top, the program's
// title and credits on the left, and an 8-bit home computer in the lower
// right, drawn in perspective from simple boxes.
#include "art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <vector>

namespace art {

namespace {

const QColor kGround(192, 193, 196);
constexpr int kWidth = 638, kHeight = 474;
constexpr int kShownWidth = 633, kShownHeight = 471;

QPointF lerp(QPointF a, QPointF b, double t) { return a + (b - a) * t; }
double len(QPointF v) { return std::hypot(v.x(), v.y()); }

// Draws `draw` into a transparent layer, blurs it, and lays it on `p` as a
// shadow of the given colour.
template <typename F>
void softShadow(QPainter &p, QSize size, int radius, QColor colour, F draw)
{
    QImage layer(size, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter lp(&layer);
    lp.setRenderHint(QPainter::Antialiasing);
    lp.setPen(Qt::NoPen);
    lp.setBrush(colour);
    draw(lp);
    lp.end();
    blur(layer, radius);
    p.drawImage(0, 0, layer);
}

// ---------------------------------------------------------------------------
// The staff.

struct Frame {
    QPointF pos;      // on the middle line
    QPointF tangent;  // unit, along the staff
    QPointF up;       // unit, towards the top line
    double spacing;   // distance between two staff lines
};

class Staff {
public:
    Staff(const std::vector<QPointF> &knots, double (*spacing)(double))
    {
        // Catmull-Rom through the knots, sampled finely, then measured.
        const int perSegment = 120;
        for (size_t i = 0; i + 1 < knots.size(); ++i) {
            const QPointF p0 = knots[i == 0 ? 0 : i - 1], p1 = knots[i], p2 = knots[i + 1];
            const QPointF p3 = knots[std::min(knots.size() - 1, i + 2)];
            for (int k = 0; k < perSegment; ++k) {
                const double t = k / double(perSegment), t2 = t * t, t3 = t2 * t;
                points_.push_back(0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2
                                         + (-p0 + 3 * p1 - 3 * p2 + p3) * t3));
            }
        }
        points_.push_back(knots.back());
        lengths_.push_back(0);
        for (size_t i = 1; i < points_.size(); ++i)
            lengths_.push_back(lengths_.back() + len(points_[i] - points_[i - 1]));
        spacing_ = spacing;
    }

    double length() const { return lengths_.back(); }

    Frame at(double s) const
    {
        s = std::clamp(s, 0.0, length());
        const auto it = std::lower_bound(lengths_.begin(), lengths_.end(), s);
        size_t i = std::clamp<size_t>(static_cast<size_t>(it - lengths_.begin()), 1, points_.size() - 1);
        const double seg = lengths_[i] - lengths_[i - 1];
        const double t = seg > 0 ? (s - lengths_[i - 1]) / seg : 0;
        Frame f;
        f.pos = lerp(points_[i - 1], points_[i], t);
        const QPointF d = points_[i] - points_[i - 1];
        f.tangent = d / std::max(1e-9, len(d));
        f.up = QPointF(f.tangent.y(), -f.tangent.x());
        f.spacing = spacing_(s / length());
        return f;
    }

    // A staff line (or any offset from the middle line, in staff spaces).
    QPainterPath line(double offset, double from = 0, double to = -1) const
    {
        if (to < 0)
            to = length();
        QPainterPath path;
        bool first = true;
        for (double s = from; s <= to; s += 1.5) {
            const Frame f = at(s);
            const QPointF q = f.pos + f.up * (offset * f.spacing);
            if (first)
                path.moveTo(q);
            else
                path.lineTo(q);
            first = false;
        }
        return path;
    }

    QPainterPath ribbon(double margin) const
    {
        QPainterPath top = line(2 + margin), bottom = line(-2 - margin);
        QPainterPath path = top;
        const QPainterPath back = bottom.toReversed();
        for (int i = 0; i < back.elementCount(); ++i)
            path.lineTo(back.elementAt(i).x, back.elementAt(i).y);
        path.closeSubpath();
        return path;
    }

private:
    std::vector<QPointF> points_;
    std::vector<double> lengths_;
    double (*spacing_)(double);
};

double staffSpacing(double t)
{
    // Widest where the staff sweeps over the title, then slowly receding to
    // the right.
    const double swell = std::sin(M_PI * std::min(1.0, t / 0.6));
    return 7.0 + 2.2 * std::max(0.0, swell) - 2.0 * std::max(0.0, t - 0.5) / 0.5;
}

// A transform whose x axis runs along the staff, y axis downwards on the
// page, and unit is one staff space, centred `step` half-spaces above the
// middle line.
QTransform noteSpace(const Frame &f, double step)
{
    const QPointF c = f.pos + f.up * (step * 0.5 * f.spacing);
    const QPointF x = f.tangent * f.spacing, y = -f.up * f.spacing;
    return QTransform(x.x(), x.y(), y.x(), y.y(), c.x(), c.y());
}

QPainterPath noteHead()
{
    QPainterPath head;
    head.addEllipse(QPointF(0, 0), 0.66, 0.44);
    return QTransform().rotate(-24).map(head);
}

QPainterPath hollowHead()
{
    QPainterPath head = noteHead();
    QPainterPath hole;
    hole.addEllipse(QPointF(0, 0), 0.5, 0.2);
    head.addPath(QTransform().rotate(-34).map(hole));
    head.setFillRule(Qt::OddEvenFill);
    return head;
}

QPainterPath eighthFlag(bool up)
{
    QPainterPath flag;
    if (up) {
        flag.moveTo(0.58, -3.2);
        flag.cubicTo(0.7, -2.2, 1.9, -2.0, 1.5, -0.6);
        flag.cubicTo(1.7, -1.7, 0.9, -2.1, 0.58, -2.3);
    } else {
        flag.moveTo(-0.58, 3.2);
        flag.cubicTo(-0.46, 2.2, 0.7, 2.0, 0.4, 0.6);
        flag.cubicTo(0.55, 1.7, -0.3, 2.1, -0.58, 2.3);
    }
    flag.closeSubpath();
    return flag;
}

// Our treble clef: a smooth stroke through hand-placed points (staff spaces,
// y downwards, 0 on the middle line), and a ball at its tail.
QPainterPath trebleClef()
{
    const std::vector<QPointF> pts = {
        {-0.55, 3.05}, {-0.15, 3.55}, {0.35, 3.2}, {0.3, 1.5}, {0.15, -1.5}, {0.1, -3.2},
        {0.45, -4.6},  {0.6, -5.3},   {0.2, -5.15}, {-0.35, -4.2}, {-0.5, -3.1}, {-0.2, -2.1},
        {-1.15, -0.8}, {-1.35, 0.55}, {-0.7, 1.6},  {0.35, 1.65},  {1.05, 0.85}, {0.85, -0.3},
        {0.0, -0.45},  {-0.45, 0.25}, {-0.2, 0.85}, {0.25, 0.95},
    };
    QPainterPath path(pts.front());
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
        const QPointF p0 = pts[i == 0 ? 0 : i - 1], p1 = pts[i], p2 = pts[i + 1];
        const QPointF p3 = pts[std::min(pts.size() - 1, i + 2)];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    return path;
}

void drawStaff(QPainter &p)
{
    const std::vector<QPointF> knots = {
        {-30, 112}, {30, 100}, {100, 66}, {180, 42}, {262, 58}, {336, 86}, {416, 76}, {496, 50}, {566, 44}, {664, 66},
    };
    const Staff staff(knots, staffSpacing);
    const QColor ink(28, 28, 40);

    // The staff floats a little above the card: a soft shadow, then a faint
    // paper ribbon behind the lines.
    softShadow(p, QSize(kWidth, kHeight), 4, QColor(40, 40, 60, 70), [&](QPainter &lp) {
        lp.translate(5, 9);
        lp.drawPath(staff.ribbon(0.7));
    });
    {
        QLinearGradient paper(0, 20, 0, 170);
        paper.setColorAt(0, QColor(255, 255, 255, 190));
        paper.setColorAt(1, QColor(244, 244, 250, 150));
        p.fillPath(staff.ribbon(0.7), paper);
    }
    p.setBrush(Qt::NoBrush);
    for (int k = -2; k <= 2; ++k) {
        p.setPen(QPen(ink, 1.05, Qt::SolidLine, Qt::FlatCap));
        p.drawPath(staff.line(k));
    }

    // Clef at the start, then the notes.
    {
        const Frame f = staff.at(58);
        p.save();
        p.setTransform(noteSpace(f, 0), true);
        p.setPen(QPen(ink, 0.34, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(trebleClef());
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QPointF(-0.45, 3.0), 0.42, 0.42);
        p.restore();
    }

    // A tune in staff steps (0 = middle line, one step per half space), and
    // the kind of each note: 'e' beamed eighth pair start, 'q' quarter,
    // 'h' half, 'f' single flagged eighth.
    struct Note { int step; char kind; };
    const Note tune[] = {
        {-2, 'e'}, {0, ' '}, {2, 'q'}, {1, 'e'}, {-1, ' '}, {-3, 'h'}, {3, 'e'}, {5, ' '},
        {4, 'q'}, {2, 'f'}, {0, 'e'}, {2, ' '}, {-2, 'q'}, {-4, 'h'}, {1, 'e'}, {3, ' '},
        {6, 'q'}, {4, 'e'}, {2, ' '}, {-1, 'q'}, {0, 'f'}, {2, 'e'}, {4, ' '}, {3, 'h'},
    };
    const int count = static_cast<int>(std::size(tune));
    double s = 100;
    QPointF pendingStem;      // end of the first stem of a beamed pair
    bool pendingUp = true;
    for (int i = 0; i < count && s < staff.length() - 8; ++i) {
        const Frame f = staff.at(s);
        const Note n = tune[i];
        const bool pairSecond = tune[i].kind == ' ';
        const bool pairFirst = n.kind == 'e';
        bool up = n.step < 0;
        if (pairSecond)
            up = pendingUp;
        if (pairFirst)
            up = (n.step + tune[i + 1].step) < 0;
        const QTransform ns = noteSpace(f, n.step);

        p.save();
        p.setTransform(ns, true);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPath(n.kind == 'h' ? hollowHead() : noteHead());
        // Ledger lines above or below the staff.
        p.setTransform(noteSpace(f, 0));
        p.setPen(QPen(ink, 0.11, Qt::SolidLine, Qt::FlatCap));
        for (int l = 6; l <= std::abs(n.step); l += 2) {
            const double y = n.step > 0 ? -l * 0.5 : l * 0.5;
            p.drawLine(QPointF(-1.0, y), QPointF(1.0, y));
        }
        p.restore();

        // Stem, from the side of the head up or down 3.3 spaces.
        const QPointF stemFoot = ns.map(up ? QPointF(0.6, -0.15) : QPointF(-0.6, 0.15));
        const QPointF stemTip = ns.map(up ? QPointF(0.6, -3.4) : QPointF(-0.6, 3.4));
        if (pairSecond) {
            // The beam joins the two stems' tips, so it follows the melody.
            const double w = 0.48 * f.spacing;
            const QPointF thick = (up ? f.up : -f.up) * -w;
            QPolygonF beam;
            beam << pendingStem << stemTip << stemTip + thick << pendingStem + thick;
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawPolygon(beam);
        }
        p.setPen(QPen(ink, std::max(0.9, 0.13 * f.spacing), Qt::SolidLine, Qt::FlatCap));
        p.drawLine(stemFoot, stemTip);
        if (n.kind == 'f') {
            p.save();
            p.setTransform(ns, true);
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawPath(eighthFlag(up));
            p.restore();
        }
        if (pairFirst) {
            pendingStem = stemTip;
            pendingUp = up;
        }
        s += (pairFirst ? 2.6 : n.kind == 'h' ? 5.2 : 3.9) * f.spacing + 4;
    }
    // Bar line at the far end, before the staff leaves the card.
    {
        const Frame f = staff.at(staff.length() - 70);
        p.setPen(QPen(ink, 1.2));
        p.drawLine(f.pos + f.up * (2 * f.spacing), f.pos - f.up * (2 * f.spacing));
    }
}

// Loose notes drifting off the staff.
void drawFloatingNotes(QPainter &p)
{
    struct Loose { double x, y, size, angle; int alpha; bool pair; };
    const Loose notes[] = {
        {352, 196, 6.5, -16, 140, false}, {402, 236, 5.0, 12, 110, true}, {150, 132, 4.6, -8, 100, false},
        {256, 130, 5.6, 18, 120, true},   {330, 144, 4.6, -14, 90, false}, {452, 158, 5.0, 8, 100, false},
        {520, 124, 4.2, -22, 80, true},   {590, 150, 4.4, 16, 90, false},  {36, 50, 5.0, 10, 110, false},
        {86, 30, 3.8, -10, 80, false},
    };
    for (const Loose &n : notes) {
        p.save();
        p.translate(n.x, n.y);
        p.rotate(n.angle);
        p.scale(n.size, n.size);
        const QColor ink(36, 36, 56, n.alpha);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPath(noteHead());
        p.setPen(QPen(ink, 0.16, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(0.6, -0.15), QPointF(0.6, -3.3));
        if (n.pair) {
            p.setPen(Qt::NoPen);
            p.drawPath(noteHead().translated(2.4, -0.6));
            p.setPen(QPen(ink, 0.16, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(3.0, -0.75), QPointF(3.0, -3.9));
            p.setPen(Qt::NoPen);
            QPolygonF beam;
            beam << QPointF(0.52, -3.3) << QPointF(3.08, -3.9) << QPointF(3.08, -3.4) << QPointF(0.52, -2.8);
            p.drawPolygon(beam);
        } else {
            p.setPen(Qt::NoPen);
            p.drawPath(eighthFlag(true));
        }
        p.restore();
    }
}

// ---------------------------------------------------------------------------
// The computer.

struct V3 { double x, y, z; };

class Camera {
public:
    Camera(double yawDeg, double pitchDeg, double distance, V3 target)
        : target_(target), distance_(distance)
    {
        const double yaw = yawDeg * M_PI / 180, pitch = pitchDeg * M_PI / 180;
        cy_ = std::cos(yaw);
        sy_ = std::sin(yaw);
        cp_ = std::cos(pitch);
        sp_ = std::sin(pitch);
    }
    void fit(const std::vector<V3> &pts, QRectF box)
    {
        scale_ = 1;
        offset_ = QPointF();
        QRectF b;
        for (const V3 &v : pts) {
            const QPointF q = raw(v);
            b = b.isNull() ? QRectF(q, QSizeF(0.001, 0.001)) : b.united(QRectF(q, QSizeF(0.001, 0.001)));
        }
        scale_ = std::min(box.width() / b.width(), box.height() / b.height());
        offset_ = QPointF(box.right() - b.right() * scale_, box.bottom() - b.bottom() * scale_);
    }
    QPointF operator()(V3 v) const { return raw(v) * scale_ + offset_; }
    QPointF operator()(double x, double y, double z) const { return (*this)(V3{x, y, z}); }

private:
    QPointF raw(V3 v) const
    {
        const double x = v.x - target_.x, y = v.y - target_.y, z = v.z - target_.z;
        // Turn the machine about the vertical axis, then look down at it.
        const double rx = x * cy_ - y * sy_;
        const double ry = x * sy_ + y * cy_;
        const double depth = ry * cp_ - z * sp_ + distance_;
        const double up = ry * sp_ + z * cp_;
        return QPointF(rx / depth, -up / depth);
    }
    V3 target_;
    double distance_;
    double cy_, sy_, cp_, sp_;
    double scale_ = 1;
    QPointF offset_;
};

// The machine's shape, in millimetres: x to the right, y to the back, z up.
constexpr double kCaseW = 400, kCaseD = 214;
constexpr double kFrontH = 20, kSlopeDepth = 150, kSlopeH = 44, kRearH = 52;
const double kSlopeAngle = std::atan2(kSlopeH - kFrontH, kSlopeDepth);

// A point on the sloping keyboard deck: u across, v up the slope, h above it.
V3 deck(double u, double v, double h = 0)
{
    const double c = std::cos(kSlopeAngle), s = std::sin(kSlopeAngle);
    return V3{u, v * c - h * s, kFrontH + v * s + h * c};
}
const double kDeckLength = kSlopeDepth / std::cos(kSlopeAngle);

// The four corners of a rectangle, as QTransform::quadToQuad wants them
// (QPolygonF's own rectangle constructor closes the polygon with a fifth).
QPolygonF corners(QRectF r)
{
    QPolygonF poly;
    poly << r.topLeft() << r.topRight() << r.bottomRight() << r.bottomLeft();
    return poly;
}

QPolygonF quad(const Camera &cam, V3 a, V3 b, V3 c, V3 d)
{
    QPolygonF poly;
    poly << cam(a) << cam(b) << cam(c) << cam(d);
    return poly;
}

void fillFace(QPainter &p, const QPolygonF &poly, const QBrush &brush)
{
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    p.drawPolygon(poly);
}

QLinearGradient faceGradient(const QPolygonF &poly, int from, int to, QColor a, QColor b)
{
    QLinearGradient g(poly[from], poly[to]);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

struct KeyStyle {
    QColor top, front, side, legend;
};

void drawKey(QPainter &p, const Camera &cam, double u, double v, double w, double d, const KeyStyle &st,
             const QString &legend, double height = 7.0)
{
    const double inset = 2.2;
    const V3 b0 = deck(u, v), b1 = deck(u + w, v), b3 = deck(u, v + d);
    const V3 t0 = deck(u + inset, v + inset * 0.6, height), t1 = deck(u + w - inset, v + inset * 0.6, height);
    const V3 t2 = deck(u + w - inset, v + d - inset * 1.2, height), t3 = deck(u + inset, v + d - inset * 1.2, height);
    // Left side, front, then the top of the cap.
    fillFace(p, quad(cam, b0, b3, t3, t0), st.side);
    const QPolygonF front = quad(cam, b0, b1, t1, t0);
    fillFace(p, front, faceGradient(front, 3, 0, st.front.lighter(118), st.front));
    const QPolygonF top = quad(cam, t3, t2, t1, t0);
    fillFace(p, top, faceGradient(top, 0, 3, st.top.lighter(112), st.top.darker(106)));
    // A light edge where the top meets the front.
    p.setPen(QPen(st.top.lighter(150), 0.7));
    p.drawLine(cam(t0), cam(t1));
    if (legend.isEmpty())
        return;
    QTransform map;
    if (!QTransform::quadToQuad(corners(QRectF(0, 0, 100, 100)), top, map))
        return;
    p.save();
    p.setTransform(map, true);
    p.setPen(st.legend);
    p.setFont(makeFont(QStringLiteral("DejaVu Sans"), legend.size() > 1 ? 26 : 44, true, false));
    p.drawText(QRectF(6, 6, 88, 88), Qt::AlignLeft | Qt::AlignTop, legend);
    p.restore();
}

void drawComputer(QPainter &p)
{
    Camera cam(20, 30, 720, V3{kCaseW / 2, kCaseD / 2, 20});
    const std::vector<V3> hull = {
        {0, 0, 0}, {kCaseW, 0, 0}, {0, kCaseD, 0}, {kCaseW, kCaseD, 0}, {0, 0, kFrontH}, {kCaseW, 0, kFrontH},
        {0, kCaseD, kRearH}, {kCaseW, kCaseD, kRearH}, {150, kCaseD - 30, kRearH + 44},
    };
    cam.fit(hull, QRectF(272, 290, 356, 174));

    // Shadow on the card, cast towards the lower right.
    const QPolygonF foot = quad(cam, {0, 0, 0}, {kCaseW, 0, 0}, {kCaseW, kCaseD, 0}, {0, kCaseD, 0});
    softShadow(p, QSize(kWidth, kHeight), 12, QColor(20, 20, 40, 120), [&](QPainter &lp) {
        lp.drawPolygon(foot.translated(14, 10));
    });
    softShadow(p, QSize(kWidth, kHeight), 3, QColor(10, 10, 20, 150), [&](QPainter &lp) {
        lp.drawPolygon(foot.translated(2, 3));
    });

    const QColor caseTop(218, 211, 197), caseSide(184, 177, 163), caseFront(150, 143, 131);

    // Left end of the case.
    QPolygonF left;
    left << cam(0, 0, 0) << cam(0, kCaseD, 0) << cam(0, kCaseD, kRearH) << cam(0, kSlopeDepth, kRearH)
         << cam(0, kSlopeDepth, kSlopeH) << cam(0, 0, kFrontH);
    fillFace(p, left, faceGradient(left, 5, 1, caseSide.lighter(104), caseSide.darker(112)));
    // Front.
    const QPolygonF front = quad(cam, {0, 0, 0}, {kCaseW, 0, 0}, {kCaseW, 0, kFrontH}, {0, 0, kFrontH});
    fillFace(p, front, faceGradient(front, 3, 0, caseFront.lighter(110), caseFront.darker(115)));
    // Dark rubber strip along the bottom of the front.
    fillFace(p, quad(cam, {0, 0, 0}, {kCaseW, 0, 0}, {kCaseW, 0, 3}, {0, 0, 3}), QColor(70, 66, 62));
    // Keyboard deck.
    const QPolygonF deckFace = quad(cam, deck(0, 0), deck(kCaseW, 0), deck(kCaseW, kDeckLength), deck(0, kDeckLength));
    fillFace(p, deckFace, faceGradient(deckFace, 3, 0, caseTop.darker(104), caseTop.lighter(106)));
    // The step up to the rear console and the console's top.
    const QPolygonF step = quad(cam, {0, kSlopeDepth, kSlopeH}, {kCaseW, kSlopeDepth, kSlopeH},
                                {kCaseW, kSlopeDepth, kRearH}, {0, kSlopeDepth, kRearH});
    fillFace(p, step, caseFront.lighter(104));
    const QPolygonF rear = quad(cam, {0, kSlopeDepth, kRearH}, {kCaseW, kSlopeDepth, kRearH},
                                {kCaseW, kCaseD, kRearH}, {0, kCaseD, kRearH});
    fillFace(p, rear, faceGradient(rear, 0, 3, caseTop.lighter(103), caseTop.darker(108)));
    // Highlights on the case's front edges.
    p.setPen(QPen(QColor(246, 242, 232), 1.2));
    p.drawLine(cam(0, 0, kFrontH), cam(kCaseW, 0, kFrontH));
    p.drawLine(cam(0, kSlopeDepth, kRearH), cam(kCaseW, kSlopeDepth, kRearH));
    p.drawLine(cam(0, 0, kFrontH), cam(0, kSlopeDepth, kSlopeH));
    p.setPen(QPen(QColor(120, 114, 104), 0.8));
    p.drawLine(cam(0, kSlopeDepth, kSlopeH), cam(kCaseW, kSlopeDepth, kSlopeH));

    // Rear console: vents, badge with colour stripes, cartridge slot.
    for (int i = 0; i < 9; ++i) {
        const double x = 22 + i * 9;
        fillFace(p, quad(cam, {x, kSlopeDepth + 14, kRearH}, {x + 4, kSlopeDepth + 14, kRearH},
                         {x + 4, kCaseD - 14, kRearH}, {x, kCaseD - 14, kRearH}),
                 QColor(150, 144, 132));
    }
    const QColor stripes[] = {QColor(230, 70, 40), QColor(240, 160, 30), QColor(240, 220, 60), QColor(70, 170, 80),
                              QColor(60, 120, 210)};
    for (int i = 0; i < 5; ++i) {
        const double y0 = kSlopeDepth + 16 + i * 7;
        fillFace(p, quad(cam, {112, y0, kRearH}, {150, y0, kRearH}, {150, y0 + 5, kRearH}, {112, y0 + 5, kRearH}),
                 stripes[4 - i]);
    }
    {
        QTransform map;
        const QPolygonF plate = quad(cam, {156, kSlopeDepth + 16, kRearH}, {262, kSlopeDepth + 16, kRearH},
                                     {262, kSlopeDepth + 48, kRearH}, {156, kSlopeDepth + 48, kRearH});
        if (QTransform::quadToQuad(corners(QRectF(0, 100, 400, -100)), plate, map)) {
            p.save();
            p.setTransform(map, true);
            p.setPen(QColor(92, 80, 66));
            p.setFont(makeFont(QStringLiteral("DejaVu Sans"), 62, true, true));
            p.drawText(QRectF(0, 0, 400, 100), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ORVEX XE"));
            p.restore();
        }
    }
    // Slot, and a cartridge standing in it.
    const double cx0 = 286, cx1 = 372, cy0 = kSlopeDepth + 20, cy1 = kSlopeDepth + 36, ch = 40;
    fillFace(p, quad(cam, {cx0 - 4, cy0 - 4, kRearH}, {cx1 + 4, cy0 - 4, kRearH}, {cx1 + 4, cy1 + 4, kRearH},
                     {cx0 - 4, cy1 + 4, kRearH}),
             QColor(40, 36, 34));
    const V3 c000{cx0, cy0, kRearH}, c100{cx1, cy0, kRearH}, c010{cx0, cy1, kRearH};
    const V3 c001{cx0, cy0, kRearH + ch}, c101{cx1, cy0, kRearH + ch}, c011{cx0, cy1, kRearH + ch},
        c111{cx1, cy1, kRearH + ch};
    fillFace(p, quad(cam, c000, c010, c011, c001), QColor(52, 50, 54));
    const QPolygonF cartFront = quad(cam, c000, c100, c101, c001);
    fillFace(p, cartFront, faceGradient(cartFront, 3, 0, QColor(74, 72, 78), QColor(38, 36, 40)));
    fillFace(p, quad(cam, c001, c101, c111, c011), QColor(96, 94, 100));
    {
        // Label on the cartridge: raster bars and the word SAP.
        const QPolygonF label = quad(cam, {cx0 + 8, cy0, kRearH + 8}, {cx1 - 8, cy0, kRearH + 8},
                                     {cx1 - 8, cy0, kRearH + ch - 5}, {cx0 + 8, cy0, kRearH + ch - 5});
        QTransform map;
        if (QTransform::quadToQuad(corners(QRectF(0, 100, 100, -100)), label, map)) {
            p.save();
            p.setTransform(map, true);
            p.setPen(Qt::NoPen);
            for (int i = 0; i < 10; ++i) {
                p.setBrush(QColor(atariColour(i / 10.0, 0.62)));
                p.drawRect(QRectF(0, i * 10, 100, 10.5));
            }
            p.setPen(QColor(255, 255, 255));
            p.setFont(makeFont(QStringLiteral("DejaVu Sans"), 46, true, true));
            p.drawText(QRectF(0, 0, 100, 100), Qt::AlignCenter, QStringLiteral("SAP"));
            p.restore();
        }
    }

    // Keyboard well and function key panel, sunk into the deck.
    const double kbU0 = 14, kbU1 = 300, kbV0 = 8, kbV1 = 142;
    const QPolygonF well = quad(cam, deck(kbU0, kbV0), deck(kbU1, kbV0), deck(kbU1, kbV1), deck(kbU0, kbV1));
    fillFace(p, well, QColor(58, 52, 48));
    const QPolygonF fnPanel = quad(cam, deck(314, kbV0), deck(384, kbV0), deck(384, kbV1), deck(314, kbV1));
    fillFace(p, fnPanel, QColor(74, 68, 62));
    p.setPen(QPen(QColor(250, 246, 236), 0.9));
    p.drawLine(cam(deck(kbU0, kbV0)), cam(deck(kbU1, kbV0)));
    p.drawLine(cam(deck(314, kbV0)), cam(deck(384, kbV0)));

    // The keys, from the back row to the front, right to left in each row.
    const KeyStyle plain{QColor(70, 60, 54), QColor(36, 31, 28), QColor(50, 44, 40), QColor(226, 214, 190)};
    const KeyStyle special{QColor(150, 138, 122), QColor(88, 80, 70), QColor(116, 106, 94), QColor(40, 34, 30)};
    const KeyStyle function{QColor(236, 160, 48), QColor(150, 88, 20), QColor(196, 124, 34), QColor(70, 36, 8)};
    struct Key { double width; const char *legend; bool special; };
    const std::vector<std::vector<Key>> rows = {
        {{1, "", true},    {1, "1", false}, {1, "2", false}, {1, "3", false}, {1, "4", false}, {1, "5", false},
         {1, "6", false},  {1, "7", false}, {1, "8", false}, {1, "9", false}, {1, "0", false}, {1, "<", false},
         {1, ">", false},  {1.5, "", true}},
        {{1.5, "", true},  {1, "Q", false}, {1, "W", false}, {1, "E", false}, {1, "R", false}, {1, "T", false},
         {1, "Y", false},  {1, "U", false}, {1, "I", false}, {1, "O", false}, {1, "P", false}, {1, "-", false},
         {1, "=", false},  {1, "", true}},
        {{1.25, "", true}, {1, "A", false}, {1, "S", false}, {1, "D", false}, {1, "F", false}, {1, "G", false},
         {1, "H", false},  {1, "J", false}, {1, "K", false}, {1, "L", false}, {1, ";", false}, {1, "+", false},
         {1, "*", false},  {1.25, "", true}},
        {{2.25, "", true}, {1, "Z", false}, {1, "X", false}, {1, "C", false}, {1, "V", false}, {1, "B", false},
         {1, "N", false},  {1, "M", false}, {1, ",", false}, {1, ".", false}, {1, "/", false}, {2.25, "", true}},
    };
    const double pitch = (kbU1 - kbU0 - 6) / 14.5, rowPitch = 24.5;
    for (size_t r = 0; r < rows.size(); ++r) {
        const double v = kbV1 - 6 - rowPitch * (r + 1) + 2;
        std::vector<std::pair<double, Key>> placed;
        double u = kbU0 + 3;
        for (const Key &k : rows[r]) {
            placed.push_back({u, k});
            u += k.width * pitch;
        }
        for (auto it = placed.rbegin(); it != placed.rend(); ++it)
            drawKey(p, cam, it->first + 0.8, v, it->second.width * pitch - 1.6, rowPitch - 3,
                    it->second.special ? special : plain, QString::fromLatin1(it->second.legend));
    }
    // Space bar.
    drawKey(p, cam, kbU0 + 3 + 2.75 * pitch, kbV0 + 4, 9 * pitch, rowPitch - 5, plain, QString());
    // Function keys, stacked up the slope.
    for (int i = 4; i >= 0; --i)
        drawKey(p, cam, 322, kbV0 + 8 + i * 25, 54, 19, function, QString(), 6.0);
    // Power lamp.
    {
        const QPointF lamp = cam(deck(392, 12, 0.5));
        QRadialGradient glow(lamp, 6);
        glow.setColorAt(0, QColor(255, 90, 60, 230));
        glow.setColorAt(0.4, QColor(230, 40, 20, 140));
        glow.setColorAt(1, QColor(230, 40, 20, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(lamp, 6, 6);
        p.setBrush(QColor(255, 210, 190));
        p.drawEllipse(lamp, 1.2, 0.9);
    }
}

// ---------------------------------------------------------------------------
// Text.

void drawTitle(QPainter &p)
{
    const QFont font = makeFont(QStringLiteral("Liberation Sans"), 84, true, true);
    QPainterPath title;
    title.addText(0, 0, font, QStringLiteral("Orvex!"));
    const QRectF b = title.boundingRect();
    title.translate(34 - b.left(), 138 - b.top());
    const QRectF r = title.boundingRect();

    softShadow(p, QSize(kWidth, kHeight), 3, QColor(20, 20, 60, 120), [&](QPainter &lp) {
        lp.drawPath(title.translated(4, 5));
    });
    p.setPen(QPen(QColor(16, 18, 60), 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(title);
    // Fill: a colour for every second pixel row, gold at the top through red
    // and violet to blue, like raster colours on an 8-bit screen.
    p.save();
    p.setClipPath(title);
    p.setPen(Qt::NoPen);
    for (int y = static_cast<int>(r.top()); y <= static_cast<int>(r.bottom()); y += 2) {
        const double t = (y - r.top()) / r.height();
        // Bright at the top, darkest at the horizon, brightening again below.
        const double luma = t < 0.5 ? 0.78 - 0.34 * t / 0.5 : 0.36 + 0.34 * (t - 0.5) / 0.5;
        p.setBrush(QColor(atariColour(0.0 + 0.55 * t, luma)));
        p.drawRect(QRectF(0, y, kWidth, 2));
    }
    // Highlight band across the upper part of the letters.
    QLinearGradient shine(0, r.top(), 0, r.top() + r.height() * 0.45);
    shine.setColorAt(0, QColor(255, 255, 255, 70));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(shine);
    p.drawRect(r);
    p.restore();
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(title.translated(-0.8, -0.8).intersected(title));
}

void drawText(QPainter &p)
{
    p.setRenderHint(QPainter::TextAntialiasing);
    auto text = [&](int x, int y, const QFont &f, QColor c, const QString &s) {
        p.setFont(f);
        p.setPen(c);
        p.drawText(QPointF(x, y), s);
    };
    const QString sans = QStringLiteral("Liberation Sans");
    text(40, 250, makeFont(sans, 22, false, true), QColor(44, 44, 70), QStringLiteral("version 1.0"));
    text(40, 272, makeFont(sans, 16, false, false), QColor(40, 40, 48),
         QStringLiteral("for Linux desktops with Qt 6"));

    // A short raster line of all hues between the heading and the statement.
    for (int x = 40; x < 300; ++x) {
        const double t = (x - 40) / 260.0;
        p.fillRect(QRectF(x, 283, 1, 2), QColor(atariColour(t, 0.62)));
    }
    text(40, 306, makeFont(sans, 16, true, false), QColor(24, 30, 84),
         QStringLiteral("Makes SAP tunes from your CMC, MPT and TMC songs."));

    text(40, 344, makeFont(sans, 15, true, false), QColor(60, 40, 30), QStringLiteral("Credits"));
    const char *roles[][2] = {
        {"Programming", "the Orvex team"},
        {"Graphics", "the Orvex team"},
        {"Testing", "the Orvex team"},
    };
    const QFont role = makeFont(sans, 14, false, false), name = makeFont(sans, 14, true, false);
    for (int i = 0; i < 3; ++i) {
        const int y = 366 + i * 19;
        text(40, y, role, QColor(70, 70, 80), QString::fromLatin1(roles[i][0]));
        text(140, y, name, QColor(30, 30, 50), QString::fromLatin1(roles[i][1]));
    }
    text(40, 428, makeFont(sans, 14, false, true), QColor(70, 70, 80),
         QStringLiteral("Greetings to every POKEY musician!"));
}

// A thin raised edge around the part of the picture that shows.
void drawFrame(QImage &img)
{
    for (int x = 0; x < kShownWidth; ++x) {
        img.setPixel(x, 0, qRgb(236, 237, 240));
        img.setPixel(x, kShownHeight - 1, qRgb(112, 113, 118));
    }
    for (int y = 0; y < kShownHeight; ++y) {
        img.setPixel(0, y, qRgb(236, 237, 240));
        img.setPixel(kShownWidth - 1, y, qRgb(112, 113, 118));
    }
}

} // namespace

QImage drawSplash()
{
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(kGround);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawFloatingNotes(p);
    drawStaff(p);
    drawComputer(p);
    drawTitle(p);
    drawText(p);
    p.end();
    drawFrame(img);
    return img.convertToFormat(QImage::Format_RGB888);
}

} // namespace art
