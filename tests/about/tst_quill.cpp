// The about box: layout, the rainbow and hidden-screen tick arithmetic, the mouse
// handlers, closing and reopening, the scroller text, and its pictures.
// Mouse events go through the window, which hands them to the control under the
// pointer, as the user's clicks do.
#define QTEST_QPA_MOUSE_HANDLING

#include "Orx_a.h"
#include "picture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <stdexcept>

namespace {

const QString PictureDir = QStringLiteral(ORVEX_PICTURE_DIR);
const QStringList BitmapFiles = {"atarirainbow.bmp", "atari.bmp", "atariback.bmp", "atarimir.bmp",
                                 "atarimirback.bmp"};

// Hot spot in Image1's (and Panel1's) coordinates: columns 62-70, rows 176-182.
const QRect HotSpot(62, 176, 9, 7);

// The tests call the handlers themselves, tick by tick: the real timers keep their
// enabled state but their timeouts are held back, so that no real tick moves
// anything behind a test's back.
void holdTicks(Tquill& q)
{
    q.Timer1->blockSignals(true);
    q.scrollometr->blockSignals(true);
}

void tick(Tquill& q, void (Tquill::*handler)(), int times)
{
    for (int i = 0; i < times; ++i)
        (q.*handler)();
}

// Runs `inside` once q's modal loop has started; returns when q has closed.
// A far-off guard ends a loop that does not close, so a fault fails the test
// instead of hanging it.
bool execWith(QDialog& q, const std::function<void()>& inside)
{
    bool hung = false;
    QObject guard;
    QTimer::singleShot(0, &guard, inside);
    QTimer::singleShot(60000, &guard, [&] {
        hung = true;
        q.done(QDialog::Rejected);
    });
    q.exec();
    return !hung;
}

// Bytes 18-29 of a Windows bitmap file: width, height, planes, bits per pixel.
struct BmpHeader {
    int width = 0, height = 0, bitsPerPixel = 0;
};

BmpHeader readBmpHeader(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.read(30);
    if (b.size() < 30 || !b.startsWith("BM"))
        return {};
    auto le = [&](int at, int n) {
        qint64 v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | static_cast<quint8>(b[at + i]);
        return v;
    };
    const qint64 height = static_cast<qint32>(le(22, 4));
    return {static_cast<int>(le(18, 4)), static_cast<int>(height < 0 ? -height : height),
            static_cast<int>(le(28, 2))};
}

} // namespace

class QuillTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void layout();
    void picturesInTheirControls();

    void rainbowTurnsAtMinus275();
    void scrollerWrapsAtMinus4080();
    void motions_data();
    void motions();
    void motionsRepeatTogether();

    void pressPausesRainbow_data();
    void pressPausesRainbow();
    void hotSpotDoesNotPause();
    void clickOutsideHotSpotChangesNothing_data();
    void clickOutsideHotSpotChangesNothing();
    void hotSpotOpensHiddenScreen_data();
    void hotSpotOpensHiddenScreen();

    void stateKeptAcrossCloseAndReopen();
    void timersRunWhileHidden();
    void escapeDoesNotClose();

    void scrollerTextForm();
    void scrollerLabel();

    void pictureSizes();
    void rainbowRepeatsEvery256Rows();

    void missingBitmap_data();
    void missingBitmap();
};

void QuillTest::initTestCase()
{
    QVERIFY2(QDir::setCurrent(PictureDir), qPrintable(PictureDir));
    QApplication::setQuitOnLastWindowClosed(false);
}

void QuillTest::cleanup()
{
    QDir::setCurrent(PictureDir);
}

void QuillTest::layout()
{
    Tquill q;
    holdTicks(q);
    QCOMPARE(q.windowTitle(), QStringLiteral("About Orvex...!"));
    QCOMPARE(q.size(), QSize(354, 225));
    QCOMPARE(q.minimumSize(), QSize(354, 225));
    QCOMPARE(q.maximumSize(), QSize(354, 225));
    const Qt::WindowFlags flags = q.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint)));
    QVERIFY(!(flags & Qt::FramelessWindowHint));

    struct Expected {
        QWidget* control;
        QWidget* parent;
        QRect geometry;
        bool shown; // visible once the parent is shown
        bool enabled;
    };
    const Expected controls[] = {
        {q.RB, &q, {0, 0, 353, 561}, true, true},
        {q.Panel1, &q, {16, 16, 321, 193}, true, true},
        {q.Image1, q.Panel1, {0, 0, 321, 193}, true, true},
        {q.Image2, q.Panel1, {62, 176, 9, 7}, true, true},
        {q.Panel2, &q, {16, 16, 321, 193}, false, true},
        {q.logo, q.Panel2, {-32, 40, 201, 49}, true, false},
        {q.logoback, q.Panel2, {-32, 40, 201, 49}, false, true},
        {q.Panel3, q.Panel2, {0, 136, 321, 57}, true, true},
        {q.logm, q.Panel3, {-32, 24, 201, 25}, false, false},
        {q.logmback, q.Panel3, {-32, 24, 201, 25}, true, false},
    };
    for (const Expected& e : controls) {
        QVERIFY(e.control);
        const QByteArray name = e.control->objectName().toLatin1();
        QVERIFY2(e.control->parentWidget() == e.parent, name);
        QVERIFY2(e.control->geometry() == e.geometry, name);
        QVERIFY2(e.control->isVisibleTo(e.parent) == e.shown, name);
        QVERIFY2(e.control->isEnabledTo(e.parent) == e.enabled, name);
    }
    QCOMPARE(q.scroll->parentWidget(), q.Panel2);
    QCOMPARE(q.scroll->pos(), QPoint(168, 0));

    // Back to front within each parent: a later control lies over an earlier one.
    auto order = [](QWidget* parent) {
        QStringList names;
        for (QObject* child : parent->children())
            if (child->isWidgetType())
                names << child->objectName();
        return names;
    };
    QCOMPARE(order(&q), QStringList({"RB", "Panel1", "Panel2"}));
    QCOMPARE(order(q.Panel1), QStringList({"Image1", "Image2"}));
    QCOMPARE(order(q.Panel2), QStringList({"scroll", "logo", "logoback", "Panel3"}));
    QCOMPARE(order(q.Panel3), QStringList({"logm", "logmback"}));

    // Pictures: the about picture and the rainbow at natural size, the logos stretched.
    QVERIFY(!q.RB->isStretched());
    QVERIFY(!q.Image1->isStretched());
    for (Picture* p : {q.logo, q.logoback, q.logm, q.logmback})
        QVERIFY2(p->isStretched(), qPrintable(p->objectName()));
    QVERIFY(q.Image2->image().isNull());

    QCOMPARE(q.Timer1->interval(), 50);
    QVERIFY(q.Timer1->isActive());
    QCOMPARE(q.scrollometr->interval(), 50);
    QVERIFY(!q.scrollometr->isActive());

    QVERIFY(!q.scrollRising);
    QCOMPARE(q.scrollStep, 0);
    QVERIFY(!q.logoRising);
    QCOMPARE(q.logoBobStep, 0);
    QVERIFY(!q.swayingLeft);
    QCOMPARE(q.swayStep, 0);
}

void QuillTest::picturesInTheirControls()
{
    Tquill q;
    holdTicks(q);
    const std::pair<Picture*, QString> loaded[] = {
        {q.RB, "atarirainbow.bmp"}, {q.logo, "atari.bmp"},         {q.logoback, "atariback.bmp"},
        {q.logm, "atarimir.bmp"},   {q.logmback, "atarimirback.bmp"}, {q.Image1, ":/pictures/about.png"},
    };
    for (const auto& [control, file] : loaded) {
        const QImage expected(file);
        QVERIFY2(!expected.isNull(), qPrintable(file));
        QVERIFY2(control->image().convertToFormat(QImage::Format_RGB32)
                     == expected.convertToFormat(QImage::Format_RGB32),
                 qPrintable(control->objectName() + " / " + file));
    }
}

void QuillTest::rainbowTurnsAtMinus275()
{
    Tquill q;
    holdTicks(q);
    for (int n = 1; n <= 532; ++n) {
        q.Timer1Timer();
        const int top = q.RB->y();
        QVERIFY2(top >= -275 && top <= -1, qPrintable(QString("tick %1: %2").arg(n).arg(top)));
        if (n <= 275)
            QCOMPARE(top, -n);
        if (n == 276 || n == 532)
            QCOMPARE(top, -20);
        if (n == 531)
            QCOMPARE(top, -275);
        QCOMPARE(q.RB->x(), 0);
    }
}

void QuillTest::scrollerWrapsAtMinus4080()
{
    Tquill q;
    holdTicks(q);
    q.Image2Click();
    for (int n = 1; n <= 2124; ++n) {
        q.scrollometrTimer();
        QCOMPARE(q.scroll->x(), 168 - 2 * n);
    }
    QCOMPARE(q.scroll->x(), -4080);
    q.scrollometrTimer();
    QCOMPARE(q.scroll->x(), 168);
    q.scrollometrTimer();
    QCOMPARE(q.scroll->x(), 166);
    // A second pass turns at the same place.
    tick(q, &Tquill::scrollometrTimer, 2122);
    QCOMPARE(q.scroll->x(), -4078);
    q.scrollometrTimer();
    QCOMPARE(q.scroll->x(), -4080);
    q.scrollometrTimer();
    QCOMPARE(q.scroll->x(), 168);
}

void QuillTest::motions_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("scrollLeft");
    QTest::addColumn<int>("scrollTop");
    QTest::addColumn<int>("logoTop");
    QTest::addColumn<int>("smallTop");
    QTest::addColumn<int>("logoLeft");

    QTest::newRow("0") << 0 << 168 << 0 << 40 << 24 << -32;
    QTest::newRow("1") << 1 << 166 << 1 << 42 << 23 << -31;
    QTest::newRow("10") << 10 << 148 << 26 << 80 << 4 << -8;
    QTest::newRow("11") << 11 << 146 << 22 << 86 << 1 << -4;
    QTest::newRow("20") << 20 << 128 << 0 << 126 << -19 << 38;
    QTest::newRow("21") << 21 << 126 << 1 << 122 << -17 << 44;
    QTest::newRow("40") << 40 << 88 << 0 << 40 << 24 << 142;
    QTest::newRow("46") << 46 << 76 << 12 << 60 << 14 << 158;
    QTest::newRow("47") << 47 << 74 << 15 << 64 << 12 << 156;
    QTest::newRow("91") << 91 << -14 << 22 << 86 << 1 << -31;
    QTest::newRow("92") << 92 << -16 << 18 << 92 << -2 << -32;
}

void QuillTest::motions()
{
    QFETCH(int, ticks);
    QFETCH(int, scrollLeft);
    QFETCH(int, scrollTop);
    QFETCH(int, logoTop);
    QFETCH(int, smallTop);
    QFETCH(int, logoLeft);

    Tquill q;
    holdTicks(q);
    q.Image2Click();
    tick(q, &Tquill::scrollometrTimer, ticks);

    QCOMPARE(q.scroll->pos(), QPoint(scrollLeft, scrollTop));
    // The hidden partners move with the visible ones.
    for (Picture* p : {q.logo, q.logoback})
        QVERIFY2(p->pos() == QPoint(logoLeft, logoTop), qPrintable(p->objectName()));
    for (Picture* p : {q.logm, q.logmback})
        QVERIFY2(p->pos() == QPoint(logoLeft, smallTop), qPrintable(p->objectName()));
    QVERIFY(q.logo->isVisibleTo(q.Panel2));
    QVERIFY(!q.logoback->isVisibleTo(q.Panel2));
    QVERIFY(!q.logm->isVisibleTo(q.Panel3));
    QVERIFY(q.logmback->isVisibleTo(q.Panel3));
    // Sizes never change.
    QCOMPARE(q.logo->size(), QSize(201, 49));
    QCOMPARE(q.logm->size(), QSize(201, 25));
}

void QuillTest::motionsRepeatTogether()
{
    // 920 ticks are a whole number of rounds of all three motions (20, 40, 92).
    Tquill q;
    holdTicks(q);
    q.Image2Click();
    int lowestScroll = 0, highestScroll = 0, lowestLogo = 40, highestLogo = 40;
    int leftmost = -32, rightmost = -32;
    for (int n = 0; n < 920; ++n) {
        q.scrollometrTimer();
        lowestScroll = std::min(lowestScroll, q.scroll->y());
        highestScroll = std::max(highestScroll, q.scroll->y());
        lowestLogo = std::min(lowestLogo, q.logo->y());
        highestLogo = std::max(highestLogo, q.logo->y());
        leftmost = std::min(leftmost, q.logo->x());
        rightmost = std::max(rightmost, q.logo->x());
        QVERIFY(q.scrollStep >= 0 && q.scrollStep <= 10);
        QVERIFY(q.logoBobStep >= 0 && q.logoBobStep <= 20);
        QVERIFY(q.swayStep >= 0 && q.swayStep <= 46);
    }
    QCOMPARE(q.scroll->y(), 0);
    QCOMPARE(q.logo->pos(), QPoint(-32, 40));
    QCOMPARE(q.logoback->pos(), QPoint(-32, 40));
    QCOMPARE(q.logm->pos(), QPoint(-32, 24));
    QCOMPARE(q.logmback->pos(), QPoint(-32, 24));
    QVERIFY(!q.scrollRising && !q.logoRising && !q.swayingLeft);
    QCOMPARE(q.scrollStep + q.logoBobStep + q.swayStep, 0);
    QCOMPARE(lowestScroll, 0);
    QCOMPARE(highestScroll, 26);
    QCOMPARE(lowestLogo, 40);
    QCOMPARE(highestLogo, 126);
    QCOMPARE(leftmost, -32);
    QCOMPARE(rightmost, 158);
}

void QuillTest::pressPausesRainbow_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("left") << Qt::LeftButton << QPoint(10, 10);
    QTest::newRow("right") << Qt::RightButton << QPoint(300, 100);
    QTest::newRow("middle") << Qt::MiddleButton << QPoint(61, 179);
}

void QuillTest::pressPausesRainbow()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, at);

    Tquill q;
    holdTicks(q);
    q.show();
    QVERIFY(QTest::qWaitForWindowExposed(&q));
    tick(q, &Tquill::Timer1Timer, 30);
    const int top = q.RB->y();

    QTest::mousePress(q.Image1, button, {}, at);
    QVERIFY(!q.Timer1->isActive());
    QCOMPARE(q.RB->y(), top);
    QTest::mouseRelease(q.Image1, button, {}, at);
    QVERIFY(q.Timer1->isActive());
    QCOMPARE(q.Timer1->interval(), 50);
    // Resumes from where it stopped.
    QCOMPARE(q.RB->y(), top);
    q.Timer1Timer();
    QCOMPARE(q.RB->y(), top - 1);

    // Another button's release resumes as well; the panel stays.
    QTest::mousePress(q.Image1, Qt::LeftButton, {}, at);
    QVERIFY(!q.Timer1->isActive());
    QTest::mouseRelease(q.Image1, Qt::RightButton, {}, at);
    QVERIFY(q.Timer1->isActive());
    QVERIFY(q.Panel1->isVisible());
    QVERIFY(!q.Panel2->isVisible());
    QVERIFY(!q.scrollometr->isActive());
}

void QuillTest::hotSpotDoesNotPause()
{
    Tquill q;
    holdTicks(q);
    q.show();
    QVERIFY(QTest::qWaitForWindowExposed(&q));
    QTest::mousePress(q.Image1, Qt::LeftButton, {}, HotSpot.center());
    QVERIFY(q.Timer1->isActive());
    QTest::mouseRelease(q.Image1, Qt::LeftButton, {}, HotSpot.center());
    QVERIFY(q.Timer1->isActive());
}

void QuillTest::clickOutsideHotSpotChangesNothing_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::newRow("left of it") << QPoint(61, 179);
    QTest::newRow("right of it") << QPoint(71, 179);
    QTest::newRow("above it") << QPoint(66, 175);
    QTest::newRow("below it") << QPoint(66, 183);
    QTest::newRow("far away") << QPoint(200, 40);
}

void QuillTest::clickOutsideHotSpotChangesNothing()
{
    QFETCH(QPoint, at);
    Tquill q;
    holdTicks(q);
    q.show();
    QVERIFY(QTest::qWaitForWindowExposed(&q));
    tick(q, &Tquill::Timer1Timer, 5);
    QTest::mouseClick(q.Image1, Qt::LeftButton, {}, at);
    QVERIFY(q.Panel1->isVisible());
    QVERIFY(!q.Panel2->isVisible());
    QVERIFY(!q.scrollometr->isActive());
    QVERIFY(q.Timer1->isActive());
    QCOMPARE(q.RB->y(), -5);
    QCOMPARE(q.scroll->pos(), QPoint(168, 0));
}

void QuillTest::hotSpotOpensHiddenScreen_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::newRow("top-left pixel") << HotSpot.topLeft();
    QTest::newRow("bottom-right pixel") << HotSpot.bottomRight();
    QTest::newRow("middle") << HotSpot.center();
}

void QuillTest::hotSpotOpensHiddenScreen()
{
    QFETCH(QPoint, at);
    Tquill q;
    holdTicks(q);
    q.show();
    QVERIFY(QTest::qWaitForWindowExposed(&q));
    // The click lands on the hot spot, which lies over the about picture.
    QCOMPARE(q.Panel1->childAt(at), q.Image2);
    QTest::mouseClick(q.Image1, Qt::LeftButton, {}, at);
    QVERIFY(!q.Panel1->isVisible());
    QVERIFY(q.Panel2->isVisible());
    QVERIFY(q.scrollometr->isActive());
    QCOMPARE(q.scrollometr->interval(), 50);
    QVERIFY(q.Timer1->isActive());
    // Nothing has moved yet: the first tick comes one interval later.
    QCOMPARE(q.scroll->pos(), QPoint(168, 0));
    QCOMPARE(q.logo->pos(), QPoint(-32, 40));
    QVERIFY(q.logo->isVisible());
    QVERIFY(q.logmback->isVisible());
    QVERIFY(q.Panel3->isVisible());
    QVERIFY(q.scroll->isVisible());

    // For good: clicking again on the hidden screen changes nothing.
    tick(q, &Tquill::scrollometrTimer, 3);
    QTest::mouseClick(q.Panel2, Qt::LeftButton, {}, at);
    QVERIFY(!q.Panel1->isVisible());
    QVERIFY(q.Panel2->isVisible());
    QCOMPARE(q.scroll->x(), 162);
}

void QuillTest::stateKeptAcrossCloseAndReopen()
{
    Tquill q;
    holdTicks(q);
    // Picture screen: the rainbow keeps its place.
    QVERIFY(execWith(q, [&] {
        QVERIFY(q.isVisible());
        QCOMPARE(QApplication::activeModalWidget(), &q);
        tick(q, &Tquill::Timer1Timer, 100);
        q.close();
    }));
    QVERIFY(!q.isVisible());
    QCOMPARE(q.RB->y(), -100);

    QVERIFY(execWith(q, [&] {
        QVERIFY(q.Panel1->isVisible());
        QCOMPARE(q.RB->y(), -100);
        QTest::mouseClick(q.Image1, Qt::LeftButton, {}, HotSpot.center());
        tick(q, &Tquill::scrollometrTimer, 15);
        q.close();
    }));
    // Closed: the timers go on, and so does the animation.
    QVERIFY(q.Timer1->isActive());
    QVERIFY(q.scrollometr->isActive());
    tick(q, &Tquill::scrollometrTimer, 5);
    QCOMPARE(q.scroll->pos(), QPoint(128, 0)); // 20 ticks
    QVERIFY(!q.scrollRising);
    QCOMPARE(q.logoBobStep, 20);
    QVERIFY(q.logoRising);
    QCOMPARE(q.swayStep, 20);

    bool checked = false;
    QVERIFY(execWith(q, [&] {
        // The hidden screen again, further along.
        QVERIFY(!q.Panel1->isVisible());
        QVERIFY(q.Panel2->isVisible());
        QCOMPARE(q.logo->pos(), QPoint(38, 126));
        QCOMPARE(q.logm->pos(), QPoint(38, -19));
        tick(q, &Tquill::scrollometrTimer, 26); // 46 in all
        QCOMPARE(q.logo->x(), 158);
        QCOMPARE(q.scroll->y(), 12);
        checked = true;
        q.close();
    }));
    QVERIFY(checked);
    QCOMPARE(q.scroll->x(), 76);
}

void QuillTest::timersRunWhileHidden()
{
    // The real timers, never shown: the rainbow moves from creation on.
    Tquill q;
    QTRY_VERIFY_WITH_TIMEOUT(q.RB->y() <= -3, 20000);
    q.Image2Click();
    QTRY_VERIFY_WITH_TIMEOUT(q.scroll->x() <= 162, 20000);
    QVERIFY(!q.isVisible());
}

void QuillTest::escapeDoesNotClose()
{
    Tquill q;
    holdTicks(q);
    bool stillOpen = false;
    QVERIFY(execWith(q, [&] {
        QTest::keyClick(&q, Qt::Key_Escape);
        stillOpen = q.isVisible();
        q.close();
    }));
    QVERIFY(stillOpen);
}

void QuillTest::scrollerTextForm()
{
    const QString text = QString::fromLatin1(Tquill::ScrollerText);
    QCOMPARE(text.size(), 257);

    // 12 spaces, heading of 35 ending in a colon, 4 spaces, entries, 4 spaces,
    // closing word of 7 beginning with three dots, 19 spaces.
    static const QRegularExpression form(
        QStringLiteral("^ {12}(\\S[^\\n]{33}:) {4}(\\S.*\\S) {4}(\\.\\.\\.\\S{4}) {19}$"));
    const QRegularExpressionMatch m = form.match(text);
    QVERIFY2(m.hasMatch(), qPrintable(text));
    QVERIFY(!m.captured(1).contains(QStringLiteral("  ")));

    const QString entries = m.captured(2);
    static const QRegularExpression gap(QStringLiteral(" {2,}"));
    QStringList words;
    QList<int> gaps;
    int from = 0;
    for (QRegularExpressionMatchIterator it = gap.globalMatch(entries); it.hasNext();) {
        const QRegularExpressionMatch g = it.next();
        words << entries.mid(from, g.capturedStart() - from);
        gaps << g.capturedLength();
        from = g.capturedEnd();
    }
    words << entries.mid(from);

    QCOMPARE(words.size(), 21);
    for (const QString& w : words)
        QVERIFY2(w.size() >= 2 && w.size() <= 17, qPrintable(w));
    QCOMPARE(gaps.count(2), 1);
    QCOMPARE(gaps.count(3), 20 - 1);
}

void QuillTest::scrollerLabel()
{
    Tquill q;
    holdTicks(q);
    q.ensurePolished();
    q.scroll->ensurePolished();
    QCOMPARE(q.scroll->text(), QString::fromLatin1(Tquill::ScrollerText));
    // Sized to its text.
    QCOMPARE(q.scroll->size(), q.scroll->sizeHint());
    QVERIFY(q.scroll->width() > 257 * 4);
    const QFont font = q.scroll->font();
    QCOMPARE(font.family(), QStringLiteral("Atari Classic Chunky"));
    QCOMPARE(font.pixelSize(), 16);
    QVERIFY(font.bold());
    QCOMPARE(q.scroll->palette().color(QPalette::WindowText), QColor(Qt::white));

    // White letters on black: grab the hidden screen after a few ticks.
    q.Image2Click();
    tick(q, &Tquill::scrollometrTimer, 10);
    q.show();
    QVERIFY(QTest::qWaitForWindowExposed(&q));
    const QImage shot = q.Panel2->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(QColor(shot.pixel(2, 2)), QColor(Qt::black));
    QCOMPARE(QColor(shot.pixel(300, 185)), QColor(0, 0, 128));
    int white = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < shot.width(); ++x)
            white += qRed(shot.pixel(x, y)) > 200 && qGreen(shot.pixel(x, y)) > 200 && qBlue(shot.pixel(x, y)) > 200;
    QVERIFY(white > 20);
}

void QuillTest::pictureSizes()
{
    struct Expected {
        QString file;
        QSize size;
    };
    const Expected bitmaps[] = {
        {"atarirainbow.bmp", {353, 561}}, {"atari.bmp", {201, 49}},     {"atariback.bmp", {201, 49}},
        {"atarimir.bmp", {201, 25}},      {"atarimirback.bmp", {201, 25}},
    };
    for (const Expected& e : bitmaps) {
        const BmpHeader h = readBmpHeader(e.file);
        QVERIFY2(QSize(h.width, h.height) == e.size, qPrintable(e.file));
        QVERIFY2(h.bitsPerPixel == 24, qPrintable(e.file));
        QVERIFY2(QImage(e.file).size() == e.size, qPrintable(e.file));
    }

    // The embedded about picture: 319 x 192, 8-bit RGB without alpha (PNG colour type 2).
    QFile about(QStringLiteral(":/pictures/about.png"));
    QVERIFY(about.open(QIODevice::ReadOnly));
    const QByteArray head = about.read(26);
    QCOMPARE(head.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(int(static_cast<quint8>(head[24])), 8);
    QCOMPARE(int(static_cast<quint8>(head[25])), 2);
    QCOMPARE(QImage(QStringLiteral(":/pictures/about.png")).size(), QSize(319, 192));
}

void QuillTest::rainbowRepeatsEvery256Rows()
{
    const QImage rainbow = QImage(QStringLiteral("atarirainbow.bmp")).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(rainbow.size(), QSize(353, 561));
    for (int y = 0; y + 256 < rainbow.height(); ++y) {
        const bool same = std::equal(reinterpret_cast<const QRgb*>(rainbow.constScanLine(y)),
                                     reinterpret_cast<const QRgb*>(rainbow.constScanLine(y)) + 353,
                                     reinterpret_cast<const QRgb*>(rainbow.constScanLine(y + 256)));
        QVERIFY2(same, qPrintable(QString("row %1 differs from row %2").arg(y).arg(y + 256)));
    }
    // Not one colour: the repeat must mean something.
    QVERIFY(rainbow.pixel(0, 0) != rainbow.pixel(0, 128));

    // The turn cannot be seen: the border that the window shows after the jump
    // from -275 to -20 is the one it showed at -275, moved up by one row.
    Tquill q;
    holdTicks(q);
    tick(q, &Tquill::Timer1Timer, 275);
    const QImage before = q.grab().toImage().convertToFormat(QImage::Format_RGB32);
    q.Timer1Timer();
    QCOMPARE(q.RB->y(), -20);
    const QImage after = q.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(before.size(), QSize(354, 225));
    QCOMPARE(before.copy(0, 1, 16, 224), after.copy(0, 0, 16, 224));
    QCOMPARE(before.copy(337, 1, 16, 224), after.copy(337, 0, 16, 224));
    QVERIFY(before.copy(0, 0, 16, 224) != after.copy(0, 0, 16, 224));
}

void QuillTest::missingBitmap_data()
{
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QStringList>("unreadable");
    QTest::addColumn<QString>("named");
    QTest::newRow("no atarimir.bmp") << QStringList{"atarimir.bmp"} << QStringList{} << "atarimir.bmp";
    QTest::newRow("atarimir.bmp not a picture") << QStringList{} << QStringList{"atarimir.bmp"} << "atarimir.bmp";
    QTest::newRow("first bad one named") << QStringList{"atarimir.bmp", "atari.bmp"} << QStringList{}
                                         << "atari.bmp";
    QTest::newRow("no atarirainbow.bmp") << QStringList{"atarirainbow.bmp"} << QStringList{} << "atarirainbow.bmp";
    QTest::newRow("no atarimirback.bmp") << QStringList{"atarimirback.bmp"} << QStringList{}
                                         << "atarimirback.bmp";
}

void QuillTest::missingBitmap()
{
    QFETCH(QStringList, missing);
    QFETCH(QStringList, unreadable);
    QFETCH(QString, named);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString& name : BitmapFiles) {
        if (missing.contains(name))
            continue;
        if (unreadable.contains(name)) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("BM not really a bitmap");
        } else {
            QVERIFY(QFile::copy(PictureDir + '/' + name, dir.filePath(name)));
        }
    }
    QVERIFY(QDir::setCurrent(dir.path()));

    QString message;
    try {
        Tquill q;
    } catch (const std::runtime_error& e) {
        message = QString::fromUtf8(e.what());
    }
    QDir::setCurrent(PictureDir);
    QVERIFY2(message.contains('"' + named + '"'), qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(QFileInfo(dir.path()).canonicalFilePath()))
                 || message.contains(QDir::toNativeSeparators(dir.path())),
             qPrintable(message));
    for (const QString& other : BitmapFiles)
        if (other != named)
            QVERIFY2(!message.contains('"' + other + '"'), qPrintable(message));
    // Nothing of the half-built window is left behind.
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<Tquill*>(w));
}

QTEST_MAIN(QuillTest)
#include "tst_quill.moc"
