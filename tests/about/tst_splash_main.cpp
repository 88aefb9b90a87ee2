// The splash window with the main window, as start-up makes them: shown once, over
// the main window, at its first activation; closed by the first tick; not shown
// again after the about box or a message box closes.
#include "Orx_a.h"
#include "Orx_s.h"
#include "Orx_u.h"
#include "dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString PictureDir = QStringLiteral(ORVEX_PICTURE_DIR);

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

// Calls `step` every few milliseconds, also inside modal loops, until it returns true.
class Poll : public QObject {
public:
    explicit Poll(std::function<bool()> step) : step_(std::move(step))
    {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (step_())
                timer_.stop();
        });
        timer_.start();
    }
    bool done() const { return !timer_.isActive(); }

private:
    std::function<bool()> step_;
    QTimer timer_;
};

} // namespace

class SplashWithMainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shownOnceOverMainWindow();
    void shownLateClosesAtOnce();

private:
    // A far-off guard ends a modal loop that does not end by itself, so that a
    // fault fails the test instead of hanging it.
    std::unique_ptr<QObject> guard_;
    bool hung_ = false;
    void createWindows();
    // The splash's own ticks are held back; the tests give them.
    void holdTicks();
};

void SplashWithMainWindowTest::initTestCase()
{
    QVERIFY2(QDir::setCurrent(PictureDir), qPrintable(PictureDir));
    QApplication::setQuitOnLastWindowClosed(false);
}

void SplashWithMainWindowTest::init()
{
    hung_ = false;
    guard_ = std::make_unique<QObject>();
    QTimer::singleShot(120000, guard_.get(), [this] {
        while (QWidget* modal = QApplication::activeModalWidget()) {
            hung_ = true;
            modal->hide();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->done(QDialog::Rejected);
            QCoreApplication::processEvents();
        }
    });
    createWindows();
}

void SplashWithMainWindowTest::cleanup()
{
    guard_.reset();
    QVERIFY2(!hung_, "a modal window did not close");
    delete ::screen;
    ::screen = nullptr;
    delete quill;
    quill = nullptr;
    delete SW;
    SW = nullptr;
}

void SplashWithMainWindowTest::createWindows()
{
    SW = new TSW;
    quill = new Tquill(SW);
    ::screen = new Tscreen(SW);
    holdTicks();
}

void SplashWithMainWindowTest::holdTicks()
{
    ::screen->Zegar->blockSignals(true);
    quill->Timer1->blockSignals(true);
    quill->scrollometr->blockSignals(true);
}

void SplashWithMainWindowTest::shownOnceOverMainWindow()
{
    ShowCounter splashShows(::screen);

    bool covered = false, modal = false, stayedOpen = false;
    int polls = 0;
    Poll splash([&] {
        if (!::screen->isVisible())
            return false;
        // The modal loop runs: the splash is over the main window and covers it.
        covered = ::screen->frameGeometry().contains(SW->frameGeometry());
        modal = QApplication::activeModalWidget() == ::screen;
        // Give the loop a few turns before the tick: nothing else closes it.
        if (++polls < 5)
            return false;
        stayedOpen = ::screen->isVisible();
        ::screen->ZegarTimer();
        return true;
    });
    SW->show();
    SW->activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(splash.done(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!::screen->isVisible(), 30000);
    QVERIFY(covered);
    QVERIFY(modal);
    QVERIFY(stayedOpen);
    QCOMPARE(splashShows.shows, 1);
    QVERIFY(SW->isVisible());
    // The focus goes back to the main window (the window manager's part).
    SW->activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), SW, 30000);

    // Later ticks change nothing.
    ::screen->ZegarTimer();
    ::screen->ZegarTimer();
    QVERIFY(!::screen->isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    // The about box: opened and closed from the main window; a tick while it is open.
    bool aboutOpen = false;
    Poll about([&] {
        if (QApplication::activeModalWidget() != quill)
            return false;
        aboutOpen = true;
        ::screen->ZegarTimer();
        quill->close();
        return true;
    });
    QTimer::singleShot(0, SW, [] { SW->AboutOrvex1Click(); });
    QTRY_VERIFY_WITH_TIMEOUT(about.done(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!quill->isVisible(), 30000);
    QVERIFY(aboutOpen);
    SW->activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), SW, 30000);

    // A message box.
    bool boxOpen = false;
    Poll box([&] {
        QWidget* modalBox = QApplication::activeModalWidget();
        if (!modalBox || modalBox == quill || modalBox == ::screen)
            return false;
        boxOpen = true;
        modalBox->close();
        return true;
    });
    QTimer::singleShot(0, SW, [] {
        orvex::ui::dialogs().message(SW, orvex::ui::MessageKind::Notice, QStringLiteral("A message"));
    });
    QTRY_VERIFY_WITH_TIMEOUT(box.done(), 30000);
    QVERIFY(boxOpen);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeModalWidget(), nullptr, 30000);
    SW->activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), SW, 30000);

    // Another window takes the focus, then the main window again.
    QWidget other;
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &other, 30000);
    SW->activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), SW, 30000);
    QCoreApplication::processEvents();

    QCOMPARE(splashShows.shows, 1);
    QVERIFY(!::screen->isVisible());
    QVERIFY(::screen->Zegar->isActive());
}

void SplashWithMainWindowTest::shownLateClosesAtOnce()
{
    // Start-up took longer than the splash's time: its first tick came before the
    // main window was shown.
    ShowCounter splashShows(::screen);
    ::screen->ZegarTimer();
    QVERIFY(!::screen->isVisible());

    SW->show();
    SW->activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(splashShows.shows, 1, 30000);
    // No further tick: it closes by itself.
    QTRY_VERIFY_WITH_TIMEOUT(!::screen->isVisible(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeModalWidget(), nullptr, 30000);
    QVERIFY(SW->isVisible());
    QCOMPARE(splashShows.shows, 1);
}

QTEST_MAIN(SplashWithMainWindowTest)
#include "tst_splash_main.moc"
