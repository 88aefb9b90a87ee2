// The splash window on its own: layout, the close timer, showing late, later
// ticks, and that the user cannot close it early.
#include "Orx_s.h"
#include "picture.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Counts the times a window is shown.
class ShowCounter : public QObject {
public:
    explicit ShowCounter(QWidget* watched) { watched->installEventFilter(this); }
    int shows = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

// Runs `inside` once the dialog's modal loop has started; returns false if the
// dialog did not close by itself. A far-off guard ends a loop that does not
// close, so that a fault fails the test instead of hanging it.
bool execWith(QDialog& d, const std::function<void()>& inside, int* result = nullptr)
{
    bool hung = false;
    QObject guard;
    if (inside)
        QTimer::singleShot(0, &guard, inside);
    QTimer::singleShot(60000, &guard, [&] {
        hung = true;
        d.done(QDialog::Accepted);
    });
    const int r = d.exec();
    if (result)
        *result = r;
    return !hung;
}

// The tests give the ticks themselves: the real timer keeps running, but its
// timeouts are held back.
void holdTicks(Tscreen& s)
{
    s.Zegar->blockSignals(true);
}

} // namespace

class ScreenTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void layout();
    void timerRunsFromCreation();
    void firstTickCloses();
    void clicksAndKeysDoNotClose();
    void shownLateClosesAtOnce();
    void laterTicksChangeNothing();
    void tickDuringAnotherModalWindow();
};

void ScreenTest::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
}

void ScreenTest::layout()
{
    Tscreen s;
    holdTicks(s);
    QCOMPARE(s.windowTitle(), QStringLiteral("screen"));
    QVERIFY(s.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(s.size(), QSize(633, 471));
    QCOMPARE(s.minimumSize(), s.maximumSize());
    QVERIFY(!s.isVisible());

    QVERIFY(s.Image1);
    QCOMPARE(s.Image1->parentWidget(), &s);
    QCOMPARE(s.Image1->geometry(), QRect(0, 0, 633, 473));
    QVERIFY(!s.Image1->isStretched());
    QVERIFY(!s.Image1->isTransparent());
    QCOMPARE(s.Image1->image().size(), QSize(638, 474));

    // The embedded splash picture: 638 x 474, 8-bit RGB without alpha (PNG colour type 2).
    QFile png(QStringLiteral(":/pictures/splash.png"));
    QVERIFY(png.open(QIODevice::ReadOnly));
    const QByteArray head = png.read(26);
    QCOMPARE(head.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(int(static_cast<quint8>(head[24])), 8);
    QCOMPARE(int(static_cast<quint8>(head[25])), 2);

    // What shows is the picture's top-left 633 x 471.
    const QImage shown = s.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(633, 471));
    const QImage picture = s.Image1->image().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, picture.copy(0, 0, 633, 471));
}

void ScreenTest::timerRunsFromCreation()
{
    Tscreen s;
    holdTicks(s);
    QVERIFY(s.Zegar->isActive());
    QCOMPARE(s.Zegar->interval(), 3000);
    QVERIFY(!s.Zegar->isSingleShot());
    // The creation handler enables the timer, which is running already: the
    // count goes on from creation and does not start again.
    QTRY_VERIFY_WITH_TIMEOUT(s.Zegar->remainingTime() <= 2800, 20000);
    s.FormCreate();
    QVERIFY(s.Zegar->isActive());
    QVERIFY(s.Zegar->remainingTime() < 2900);
}

void ScreenTest::firstTickCloses()
{
    Tscreen s;
    holdTicks(s);
    bool wasShown = false, wasModal = false, centred = false, stillOpenBeforeTick = false;
    int result = -1;
    QVERIFY(execWith(
        s,
        [&] {
            wasShown = s.isVisible();
            wasModal = QApplication::activeModalWidget() == &s;
            const QPoint centre = s.screen()->geometry().center();
            centred = (s.frameGeometry().center() - centre).manhattanLength() <= 1;
            QCoreApplication::processEvents();
            stillOpenBeforeTick = s.isVisible();
            s.ZegarTimer();
        },
        &result));
    QVERIFY(wasShown);
    QVERIFY(wasModal);
    QVERIFY(centred);
    QVERIFY(stillOpenBeforeTick);
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(!s.isVisible());
    QVERIFY(s.Zegar->isActive());
}

void ScreenTest::clicksAndKeysDoNotClose()
{
    Tscreen s;
    holdTicks(s);
    bool open = false;
    QVERIFY(execWith(s, [&] {
        QTest::mouseClick(s.Image1, Qt::LeftButton, {}, QPoint(300, 200));
        QTest::mouseClick(s.Image1, Qt::RightButton, {}, QPoint(10, 10));
        QTest::mouseDClick(&s, Qt::LeftButton, {}, QPoint(620, 460));
        QTest::keyClick(&s, Qt::Key_Escape);
        QTest::keyClick(&s, Qt::Key_Return);
        QTest::keyClick(&s, Qt::Key_Space);
        // A close request from the window system is refused.
        QCloseEvent request;
        QSpontaneKeyEvent::setSpontaneous(&request);
        QApplication::instance()->notify(&s, &request);
        open = s.isVisible() && !request.isAccepted();
        s.ZegarTimer();
    }));
    QVERIFY(open);
    QVERIFY(!s.isVisible());
}

void ScreenTest::shownLateClosesAtOnce()
{
    Tscreen s;
    holdTicks(s);
    ShowCounter counter(&s);
    // The first tick comes while the splash is still hidden ...
    s.ZegarTimer();
    QVERIFY(!s.isVisible());
    QCOMPARE(counter.shows, 0);
    // ... so showing it later closes it without waiting for another tick.
    int result = -1;
    QVERIFY(execWith(s, {}, &result));
    QCOMPARE(counter.shows, 1);
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(!s.isVisible());

    // The same for a plain show.
    s.show();
    QTRY_VERIFY_WITH_TIMEOUT(!s.isVisible(), 20000);
    QCOMPARE(counter.shows, 2);
}

void ScreenTest::laterTicksChangeNothing()
{
    QWidget main;
    main.resize(337, 159);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    Tscreen s(&main);
    holdTicks(s);
    ShowCounter counter(&s);
    QVERIFY(execWith(s, [&] { s.ZegarTimer(); }));
    QCOMPARE(counter.shows, 1);
    for (int i = 0; i < 5; ++i) {
        s.ZegarTimer();
        QCoreApplication::processEvents();
        QVERIFY(!s.isVisible());
        QVERIFY(main.isVisible());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }
    QCOMPARE(counter.shows, 1);
    QVERIFY(s.Zegar->isActive());
}

void ScreenTest::tickDuringAnotherModalWindow()
{
    // A tick while another modal window (the about box, a message box) is open:
    // the other window stays, the splash stays hidden.
    Tscreen s;
    holdTicks(s);
    QVERIFY(execWith(s, [&] { s.ZegarTimer(); }));

    QDialog other;
    ShowCounter counter(&s);
    bool otherOpen = false;
    QVERIFY(execWith(other, [&] {
        s.ZegarTimer();
        QCoreApplication::processEvents();
        s.ZegarTimer();
        QCoreApplication::processEvents();
        otherOpen = other.isVisible() && QApplication::activeModalWidget() == &other;
        other.accept();
    }));
    QVERIFY(otherOpen);
    QCOMPARE(counter.shows, 0);
    QVERIFY(!s.isVisible());
}

QTEST_MAIN(ScreenTest)
#include "tst_screen.moc"
