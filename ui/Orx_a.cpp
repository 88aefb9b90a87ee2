#include "Orx_a.h"

#include "chunky_font.h"
#include "fonts.h"
#include "version.h"

#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QTimer>

#include <stdexcept>

Tquill* quill = nullptr;

const char* const Tquill::ScrollerText =
    "            ORVEX V" ORVEX_VERSION " - CREDITS AND GREETINGS:    CODE: ORVEX TEAM   GREETS TO   "
    "ATARIANS   POKEY   ANTIC   GTIA   6502   CMC   MPT   TMC   SAP   XL  XE   TRACKER MEN   "
    "SCENERS   MUSICIANS   MAG CREWS   SIO   BASIC   AND   YOU    ...BYE!                   ";

namespace {

// Rainbow: the picture repeats every 256 rows, so jumping from -275 back to -20
// cannot be seen.
constexpr int RainbowLowest = -275;
constexpr int RainbowRestart = -20;

// Scroller: fixed limits, chosen for the text drawn in the 16-pixel Atari font.
constexpr int ScrollLeftmost = -4080;
constexpr int ScrollRestart = 168;
constexpr int ScrollSpeed = 2;

// One step of a back-and-forth motion: the offsets are used first to last
// (moving forward), then last to first (moving back); the last entry is used
// twice at the turn and the first entry twice between two rounds.
template <std::size_t N, typename Move>
void pingPong(bool& backward, int& index, const std::array<int, N>& offsets, Move move)
{
    if (!backward) {
        move(offsets[index]);
        ++index;
        if (index == static_cast<int>(N))
            backward = true;
    } else {
        --index;
        if (index == 0)
            backward = false;
        move(-offsets[index]);
    }
}

void moveLeft(QWidget* w, int d)
{
    w->move(w->x() + d, w->y());
}

void moveTop(QWidget* w, int d)
{
    w->move(w->x(), w->y() + d);
}

// A bitmap file named in the layout, from the current folder.
void loadBitmapFile(Picture* picture)
{
    const QString name = picture->property("bitmapFile").toString();
    QImage image(name);
    if (image.isNull()) {
        throw std::runtime_error(QStringLiteral("Cannot load the picture \"%1\" from the folder %2.")
                                     .arg(name, QDir::toNativeSeparators(QDir::currentPath()))
                                     .toStdString());
    }
    picture->setImage(image);
}

QTimer* makeTimer(QObject* owner, const char* name, int interval, bool enabled)
{
    auto* timer = new QTimer(owner);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(interval);
    if (enabled)
        timer->start();
    return timer;
}

} // namespace

Tquill::Tquill(QWidget* owner) : FixedDialog(owner)
{
    setupUi(this);
    orvex::ui::applyLayoutPixelFonts(this);
    // Title bar with a close box only
    orvex::ui::fixToLayout(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    Timer1 = makeTimer(this, "Timer1", 50, true);
    scrollometr = makeTimer(this, "scrollometr", 50, false);

    connect(Timer1, &QTimer::timeout, this, &Tquill::Timer1Timer);
    connect(scrollometr, &QTimer::timeout, this, &Tquill::scrollometrTimer);
    connect(Image1, &Picture::pressed, this, &Tquill::Image1MouseDown);
    connect(Image1, &Picture::released, this, &Tquill::Image1MouseUp);
    connect(Image2, &Picture::clicked, this, &Tquill::Image2Click);

    orvex::ui::requireStoredPicture(Image1);
    for (Picture* picture : {RB, logo, logoback, logm, logmback})
        loadBitmapFile(picture);

    scroll->setText(QString::fromLatin1(ScrollerText));
    // Without the Atari font, our own chunky lettering, as wide as the limits expect
    if (!QFontDatabase::families().contains(QStringLiteral("Atari Classic Chunky")))
        scroll->setPixmap(orvex::ui::chunkyText(scroll->text(), Qt::white));
    scroll->adjustSize();
}

void Tquill::Timer1Timer()
{
    moveTop(RB, -1);
    if (RB->y() < RainbowLowest)
        RB->move(RB->x(), RainbowRestart);
}

void Tquill::Image1MouseDown(Qt::MouseButton)
{
    pressPending_ = true;
    Timer1->stop();
}

void Tquill::Image1MouseUp(Qt::MouseButton)
{
    pressPending_ = false;
    if (!Timer1->isActive())
        Timer1->start();
}

void Tquill::Image2Click()
{
    if (!scrollometr->isActive())
        scrollometr->start();
    Panel1->hide();
    Panel2->show();
}

void Tquill::scrollometrTimer()
{
    moveLeft(scroll, -ScrollSpeed);
    if (scroll->x() < ScrollLeftmost)
        scroll->move(ScrollRestart, scroll->y());

    pingPong(scrollRising, scrollStep, ScrollBounceTable, [this](int d) { moveTop(scroll, d); });
    pingPong(logoRising, logoBobStep, LogoBobTable, [this](int d) {
        moveTop(logo, 2 * d);
        moveTop(logoback, 2 * d);
        moveTop(logm, -d);
        moveTop(logmback, -d);
    });
    pingPong(swayingLeft, swayStep, LogoSwayTable, [this](int d) {
        for (Picture* w : {logo, logoback, logm, logmback})
            moveLeft(w, d);
    });
}

void Tquill::hideEvent(QHideEvent* event)
{
    // A press on the picture whose release cannot come any more counts as released.
    if (pressPending_)
        Image1MouseUp(Qt::NoButton);
    QDialog::hideEvent(event);
}
