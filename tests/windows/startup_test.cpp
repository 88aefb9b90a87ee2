// The program's start-up as the entry runs it: a start-up failure, an exception in an
// event handler, the splash shown once over the main window, and file dialogs that keep
// no settings.

#include "Orx_a.h"
#include "Orx_s.h"
#include "application.h"
#include "window_fixture.h"

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <stdexcept>

using orvex::ui::WindowFactory;

namespace {

// Counts the times a window is shown.
struct ShowCounter : QObject {
    int shows = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        shows += event->type() == QEvent::Show;
        return false;
    }
};

struct Thrower : QWidget {
    int presses = 0;
    void mousePressEvent(QMouseEvent*) override
    {
        if (++presses == 1)
            throw std::runtime_error("The handler failed.");
    }
};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(QStringLiteral(BIN_DIR)));  // where the about box's bitmaps are
    }

    // In a folder without the about box's bitmaps: one message naming the first, and
    // the main window is never shown.
    void startupFailure()
    {
        support::FakeDialogs dialogs;
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        ShowCounter shown;
        WindowFactory f = WindowFactory::standard();
        f.mainWindow = [&] {
            auto* w = new TSW;
            w->installEventFilter(&shown);
            return w;
        };
        const int status = orvex::ui::runProgram(*qApp, f);
        QDir::setCurrent(previous);
        QCOMPARE(status, 1);
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages[0].startsWith("error: Cannot load the picture \"atarirainbow.bmp\""),
                 qPrintable(dialogs.messages[0]));
        QCOMPARE(shown.shows, 0);
        QVERIFY(!SW && !quill && !::screen);
    }

    // An exception that escapes a handler is shown, and the program goes on.
    void handlerException()
    {
        support::FakeDialogs dialogs;
        Thrower thrower;
        thrower.show();
        QTest::mouseClick(&thrower, Qt::LeftButton);
        QTest::mouseClick(&thrower, Qt::LeftButton);
        QCOMPARE(thrower.presses, 2);
        QCOMPARE(dialogs.messages, QStringList({"error: The handler failed."}));
    }

    void splash_data()
    {
        QTest::addColumn<bool>("late");
        QTest::newRow("on time") << false;
        QTest::newRow("its time over before it shows") << true;
    }

    // The splash shows once, modally, at the main window's first activation; its timer,
    // running from its creation, closes it; it does not show again when the main window
    // is activated again.
    void splash()
    {
        QFETCH(bool, late);
        support::FakeDialogs dialogs;
        ShowCounter shown;
        int interval = 0;
        bool running = false, modal = false;
        WindowFactory f = WindowFactory::standard();
        f.splash = [&](QWidget* owner) {
            auto* s = new Tscreen(owner);
            interval = s->Zegar->interval();
            running = s->Zegar->isActive() && s->Zegar->timerType() == Qt::PreciseTimer;
            s->Zegar->blockSignals(true);  // the test gives the ticks
            s->installEventFilter(&shown);
            if (late)
                s->ZegarTimer();
            return s;
        };
        int step = 0;
        QWidget other;
        QTimer script;
        connect(&script, &QTimer::timeout, [&] {
            if (step == 0 && shown.shows == 1) {
                modal = late || QApplication::activeModalWidget() == ::screen;
                if (!late)
                    ::screen->ZegarTimer();
                step = 1;
            } else if (step == 1 && !::screen->isVisible()) {
                other.show();
                other.activateWindow();
                step = 2;
            } else if (step == 2 && other.isActiveWindow()) {
                SW->activateWindow();
                step = 3;
            } else if (step == 3 && SW->isActiveWindow()) {
                QTimer::singleShot(100, SW, &QWidget::close);
                step = 4;
            }
        });
        script.start(10);
        QObject guard;  // should the run not end by itself
        QTimer::singleShot(20000, &guard, [] {
            if (::screen)
                ::screen->reject();
            if (SW)
                SW->close();
        });
        QCOMPARE(orvex::ui::runProgram(*qApp, f), 0);
        QCOMPARE(step, 4);
        QCOMPARE(interval, 3000);
        QVERIFY(running);
        QVERIFY(modal);
        QCOMPARE(shown.shows, 1);
        QCOMPARE(dialogs.messages, QStringList());
    }

    void openedWithModule_data()
    {
        QTest::addColumn<QStringList>("files");  // the module first
        QTest::addColumn<QStringList>("values");  // Format, Size; the boxes enabled
        QTest::newRow("cmc") << QStringList{"song.cmc"} << QStringList{"cmc", "300", "enabled"};
        QTest::newRow("md1, its samples beside it") << QStringList{"Song.MD1", "SONG.d15"} << QStringList{"MD1", "300", "enabled"};
        QTest::newRow("md1 alone: the sample dialog, cancelled") << QStringList{"song.md1"} << QStringList{"md1", "300", "disabled"};
    }

    // `orvex FILE`: the main window shows the module loaded at start.
    void openedWithModule()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, values);
        support::FakeDialogs dialogs;
        support::TempDir dir;
        support::writeFile(dir / files[0].toStdString(), support::module(0x2000, 300));
        if (files.size() > 1)
            support::writeFile(dir / files[1].toStdString(), support::d15(0x90, 100));
        QStringList shown;
        QTimer script;
        connect(&script, &QTimer::timeout, [&] {
            if (SW && SW->Label13->text() != "none" && shown.isEmpty()) {
                shown << SW->Label13->text() << SW->Label14->text() << (SW->Edit1->isEnabled() ? "enabled" : "disabled");
                if (::screen)
                    ::screen->reject();
                SW->close();
            }
        });
        script.start(10);
        const QString module = QString::fromStdString(dir / files[0].toStdString());
        QCOMPARE(orvex::ui::runProgram(*qApp, WindowFactory::standard(), module), 0);
        QCOMPARE(shown, values);
        QCOMPARE(dialogs.messages, QStringList());
    }

    // A run that uses each of Qt's file dialogs keeps nothing in the user's configuration
    // folder (HOME and XDG_CONFIG_HOME lead into a folder of the test's own: main), and
    // each dialog gives the file confirmed in it.
    void dialogsWriteNoSettings()
    {
        const QString home = qEnvironmentVariable("HOME");
        QFile module(home + "/song.mpt");
        QVERIFY(module.open(QIODevice::WriteOnly));
        TSW w;
        QTimer confirm;
        connect(&confirm, &QTimer::timeout, [] {
            if (auto* qt = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
                QTest::keyClick(qt, Qt::Key_Return);
        });
        confirm.start(10);
        for (const auto& [dialog, file] : {std::pair(&w.OD, "song.mpt"), {&w.ODS, "song.d15"}, {&w.SD, "song.sap"}}) {
            dialog->fileName = home + "/" + file;
            QVERIFY(orvex::ui::QtDialogs().run(&w, *dialog));
            QCOMPARE(dialog->fileName, home + "/" + file);
        }
        QVERIFY(!QFileInfo::exists(home + "/.config"));
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    orvex::ui::Application app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "startup_test.moc"
