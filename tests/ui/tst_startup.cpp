// The program's start-up and shutdown, run in-process: the three windows in their
// order, the splash once at the first activation, the end by Exit and by the close
// box, a start-up exception (one message, status 1) and an exception in an event
// handler (one message, the program goes on).

#include "Orx_a.h"
#include "Orx_s.h"
#include "Orx_u.h"
#include "application.h"
#include "support.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <stdexcept>

using orvex::ui::MessageKind;
using orvex::ui::WindowFactory;
using testing_ui::FakeDialogs;

namespace {

// Counts the times a widget is shown.
class ShowCounter : public QObject {
public:
    int shows = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

// A widget whose mouse press handler throws.
class Thrower : public QWidget {
public:
    bool standard = true;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        ++presses;
        if (standard)
            throw std::runtime_error("The handler failed.");
        throw 42;
    }
};

// Works inside the folder `path` until the end of the scope.
class CurrentFolder {
public:
    explicit CurrentFolder(const QString& path) : previous_(QDir::currentPath()) { QDir::setCurrent(path); }
    ~CurrentFolder() { QDir::setCurrent(previous_); }

private:
    QString previous_;
};

const char* const kBitmaps[] = {"atarirainbow.bmp", "atari.bmp", "atariback.bmp", "atarimir.bmp", "atarimirback.bmp"};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<orvex::ConversionState> state;
    std::unique_ptr<FakeDialogs> dialogs;

    // The three windows of the program, the main window working on the test's state
    WindowFactory windows()
    {
        WindowFactory f = WindowFactory::standard();
        f.mainWindow = [this] { return new TSW(nullptr, state.get()); };
        return f;
    }

private slots:
    void initTestCase()
    {
        testing_ui::quietPlatformNotes();
        // The about box reads its bitmaps from the program's folder.
        QDir::setCurrent(QStringLiteral(ORVEX_BIN_DIR));
    }

    void init()
    {
        state = std::make_unique<orvex::ConversionState>();
        dialogs = std::make_unique<FakeDialogs>();
    }

    void cleanup()
    {
        QCOMPARE(SW, nullptr);
        QCOMPARE(quill, nullptr);
        QCOMPARE(::screen, nullptr);
        dialogs.reset();
        state.reset();
    }

    void startupFailure_data()
    {
        QTest::addColumn<QString>("step");
        QTest::newRow("main window") << "main";
        QTest::newRow("about box") << "about";
        QTest::newRow("splash") << "splash";
    }

    // An exception while the windows are created: one message with its text, no
    // event loop, no window left, status 1.
    void startupFailure()
    {
        QFETCH(QString, step);
        QPointer<TSW> main;
        QPointer<Tquill> about;
        ShowCounter shown;
        bool inOrder = true;
        WindowFactory f = windows();
        f.mainWindow = [&] {
            if (step == "main")
                throw std::runtime_error("The main window failed.");
            main = new TSW(nullptr, state.get());
            main->installEventFilter(&shown);
            return main.data();
        };
        f.aboutBox = [&](QWidget* owner) {
            inOrder = inOrder && SW != nullptr;  // created after the main window
            if (step == "about")
                throw std::runtime_error("Cannot read the bitmap \"atarirainbow.bmp\".");
            about = new Tquill(owner);
            return about.data();
        };
        f.splash = [&](QWidget*) -> Tscreen* {
            inOrder = inOrder && quill != nullptr;  // created after the about box
            throw std::runtime_error("The splash failed.");
        };
        bool loopRan = false;
        QTimer::singleShot(0, [&] { loopRan = true; });

        const int status = orvex::ui::runProgram(*qApp, f);

        QCOMPARE(status, 1);
        QVERIFY(inOrder);
        QCOMPARE(dialogs->messages.size(), std::size_t(1));
        QCOMPARE(dialogs->messages[0].kind, MessageKind::Error);
        const QString expected = step == "main"    ? "The main window failed."
                                 : step == "about" ? "Cannot read the bitmap \"atarirainbow.bmp\"."
                                                   : "The splash failed.";
        QCOMPARE(dialogs->messages[0].text, expected);
        QVERIFY(!loopRan);
        QCOMPARE(shown.shows, 0);
        QVERIFY(main.isNull());
        QVERIFY(about.isNull());
        QCOMPARE(SW, nullptr);
        QCOMPARE(quill, nullptr);
        QCOMPARE(::screen, nullptr);
        QCoreApplication::processEvents();  // the queued tick, not to disturb later tests
    }

    void missingBitmap_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::newRow("none present") << "";
        QTest::newRow("atarimir.bmp") << "atarimir.bmp";
    }

    // The real about box in a folder that lacks its bitmaps.
    void missingBitmap()
    {
        QFETCH(QString, missing);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        if (!missing.isEmpty()) {
            for (const char* name : kBitmaps) {
                if (missing != name)
                    QVERIFY(QFile::copy(QStringLiteral(ORVEX_BIN_DIR "/") + name, folder.filePath(name)));
            }
        }
        CurrentFolder inside(folder.path());
        bool throws = false;
        try {
            Tquill probe;
        } catch (const std::runtime_error&) {
            throws = true;
        }
        if (!throws)
            QSKIP("The about box does not read its bitmaps yet.");

        const int status = orvex::ui::runProgram(*qApp, windows());
        QCOMPARE(status, 1);
        QCOMPARE(dialogs->messages.size(), std::size_t(1));
        const QString text = dialogs->messages[0].text;
        QVERIFY2(text.contains(missing.isEmpty() ? QString("atarirainbow.bmp") : missing), qPrintable(text));
        QCoreApplication::processEvents();
    }

    void normalRun_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Exit item") << false;
        QTest::newRow("close box") << true;
    }

    // The splash shows once, at the first activation; Exit or the close box end the
    // program at once, with a module loaded and not saved.
    void normalRun()
    {
        QFETCH(bool, closeBox);
        QTemporaryDir folder;
        const QString module = folder.filePath("song.mpt");
        testing_ui::writeFile(module, testing_ui::atariModule(0x4000, 0x40FF, 300));

        ShowCounter splashShows;
        bool splashCreatedLast = false;
        WindowFactory f = windows();
        f.splash = [&](QWidget* owner) {
            splashCreatedLast = SW != nullptr && quill != nullptr;
            auto* splash = new Tscreen(owner);
            splash->installEventFilter(&splashShows);
            return splash;
        };

        int phase = 0;
        bool finished = false;
        QWidget other;
        QTimer driver;
        driver.setInterval(20);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            switch (phase) {
            case 0:  // the splash closes itself
                if (splashShows.shows == 1 && !::screen->isVisible())
                    phase = 1;
                break;
            case 1:  // another window takes the focus and gives it back
                other.show();
                other.activateWindow();
                phase = 2;
                break;
            case 2:
                if (other.isActiveWindow()) {
                    other.close();
                    SW->activateWindow();
                    phase = 3;
                }
                break;
            case 3:
                if (SW->isActiveWindow())
                    phase = 4;
                break;
            case 4:  // a module loaded and not saved; then the end
                dialogs->answer("OD", module);
                SW->LoadAtariMSX1->trigger();
                phase = 5;
                break;
            case 5:
                if (closeBox)
                    SW->windowHandle()->close();
                else
                    SW->ExitORVEX1->trigger();
                phase = 6;
                break;
            default:
                break;
            }
        });
        driver.start();
        // Should the program not end by itself, the test ends it.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            if (::screen && ::screen->isVisible())
                ::screen->reject();
            if (SW)
                QTimer::singleShot(0, SW, &QWidget::close);
        });
        watchdog.start(30000);

        const int status = orvex::ui::runProgram(*qApp, f);
        finished = true;
        driver.stop();
        const bool timedOut = !watchdog.isActive();
        watchdog.stop();

        QVERIFY(finished);
        QVERIFY2(!timedOut, qPrintable(QString("stopped at phase %1").arg(phase)));
        QCOMPARE(status, 0);
        QCOMPARE(phase, 6);
        QVERIFY(splashCreatedLast);
        QCOMPARE(splashShows.shows, 1);
        QVERIFY(dialogs->messages.empty());
        QCOMPARE(state->moduleLoaded, 1);
        QCOMPARE(SW, nullptr);
        QCOMPARE(quill, nullptr);
        QCOMPARE(::screen, nullptr);
    }

    // Help > "About Orvex..." shows the about box modally; closing it changes nothing
    // in the main window.
    void aboutBoxModal()
    {
        TSW w(nullptr, state.get());
        quill = new Tquill(&w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Edit1->setText("kept");
        bool wasModal = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() == quill && quill->isVisible()) {
                wasModal = true;
                poll.stop();
                quill->close();
            }
        });
        poll.start(10);
        w.AboutOrvex1->trigger();
        QVERIFY(wasModal);
        QVERIFY(!quill->isVisible());
        QCOMPARE(w.Edit1->text(), QString("kept"));
        QVERIFY(dialogs->messages.empty());
        delete quill;
        quill = nullptr;
    }

    // An exception that escapes an event handler: one message, and events go on.
    void exceptionInHandler()
    {
        Thrower thrower;
        thrower.resize(50, 50);
        thrower.show();
        QVERIFY(QTest::qWaitForWindowExposed(&thrower));

        QTest::mouseClick(&thrower, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(thrower.presses, 1);
        QCOMPARE(dialogs->messageTexts(), QStringList({"The handler failed."}));
        QCOMPARE(dialogs->messages[0].kind, MessageKind::Error);

        thrower.standard = false;
        QTest::mouseClick(&thrower, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(thrower.presses, 2);
        QCOMPARE(dialogs->messageTexts(), QStringList({"The handler failed.", "An unexpected error occurred."}));

        bool ticked = false;
        QTimer::singleShot(0, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        QCOMPARE(dialogs->messages.size(), std::size_t(2));
    }

    // A handler that fails again while the message of its first failure is open
    // gets no second box on top.
    void failureWhileMessageOpen()
    {
        Thrower thrower;
        thrower.resize(50, 50);
        thrower.show();
        QVERIFY(QTest::qWaitForWindowExposed(&thrower));

        class Nesting : public FakeDialogs {
        public:
            Thrower* again = nullptr;
            void message(QWidget* owner, MessageKind kind, const QString& text) override
            {
                FakeDialogs::message(owner, kind, text);
                if (again) {
                    // While the box is open the user clicks the failing widget again.
                    QTest::mouseClick(again, Qt::LeftButton, {}, QPoint(5, 5));
                }
            }
        };
        dialogs.reset();
        auto nesting = std::make_unique<Nesting>();
        nesting->again = &thrower;
        QTest::mouseClick(&thrower, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(thrower.presses, 2);
        QCOMPARE(nesting->messageTexts(), QStringList({"The handler failed."}));

        // Once the box is closed, the next failure shows again.
        nesting->again = nullptr;
        QTest::mouseClick(&thrower, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(nesting->messages.size(), std::size_t(2));
        nesting.reset();
        dialogs = std::make_unique<FakeDialogs>();
    }

    // The same through the main window's menu: Help > About without an about box.
    void exceptionInWindowHandler()
    {
        TSW w(nullptr, state.get());
        w.move(20, 20);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mousePress(w.Label11, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(w.Label11, Qt::LeftButton, {}, QPoint(2, 2));
        QTRY_VERIFY(w.Helpmen->isVisible());
        QTest::mouseClick(w.Helpmen, Qt::LeftButton, {}, w.Helpmen->actionGeometry(w.AboutOrvex1).center());
        QCOMPARE(dialogs->messageTexts(), QStringList({"The about box is not available."}));
        // The window goes on working
        QTest::mouseClick(w.ledoff, Qt::LeftButton, {}, QPoint(8, 8));
        QVERIFY(w.ox->isChecked());
        QCOMPARE(dialogs->messages.size(), std::size_t(1));
    }

    // During the run: a failing timer tick shows its message and the run goes on to
    // a normal end.
    void exceptionDuringRun()
    {
        WindowFactory f = windows();
        f.splash = [](QWidget*) -> Tscreen* { return nullptr; };
        bool later = false;
        QTimer::singleShot(50, [] { throw std::runtime_error("A tick failed."); });
        QTimer::singleShot(150, [&] {
            later = true;
            SW->close();
        });
        const int status = orvex::ui::runProgram(*qApp, f);
        QCOMPARE(status, 0);
        QVERIFY(later);
        QCOMPARE(dialogs->messageTexts(), QStringList({"A tick failed."}));
    }
};

int main(int argc, char** argv)
{
    orvex::ui::Application app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
