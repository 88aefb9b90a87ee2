#include "application.h"

#include "Orx_a.h"
#include "Orx_s.h"
#include "Orx_u.h"
#include "dialogs.h"
#include "fonts.h"
#include "version.h"

#include <QIcon>
#include <QSettings>
#include <QTimer>

namespace orvex::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Orvex"));
    setApplicationVersion(QStringLiteral(ORVEX_VERSION));
    // The program keeps no settings, and its file dialogs none either: Qt's dialog would
    // keep its history, folder and view in the user's settings (~/.config/QtProject.conf).
    // The user's settings lead to a folder that cannot be made, so nothing is written.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showException(error);
    } catch (...) {
        showException(QStringLiteral("An unexpected error occurred."));
    }
    return false;
}

void showException(const std::exception& error)
{
    const QString text = QString::fromLocal8Bit(error.what());
    showException(text.isEmpty() ? QStringLiteral("An unexpected error occurred.") : text);
}

void showException(const QString& text)
{
    // A handler that fails again while its message is open (a timer, say) would
    // stack one box on the other without end: the box already open stands for it.
    static bool showing = false;
    if (showing)
        return;
    showing = true;
    try {
        dialogs().message(QApplication::activeWindow(), MessageKind::Error, text);
    } catch (...) {
        showing = false;
        throw;
    }
    showing = false;
}

WindowFactory WindowFactory::standard()
{
    WindowFactory windows;
    windows.mainWindow = [] { return new TSW; };
    windows.aboutBox = [](QWidget* owner) { return new Tquill(owner); };
    windows.splash = [](QWidget* owner) { return new Tscreen(owner); };
    return windows;
}

namespace {

// Destroys the three windows, the last created first.
void destroyWindows()
{
    delete ::screen;
    ::screen = nullptr;
    delete quill;
    quill = nullptr;
    delete SW;
    SW = nullptr;
}

} // namespace

int runProgram(QApplication& app, const WindowFactory& windows, const QString& module)
{
    try {
        installFontSubstitutions();
        app.setWindowIcon(QIcon(QStringLiteral(":/pictures/orvex.png")));

        SW = windows.mainWindow();
        quill = windows.aboutBox(SW);
        ::screen = windows.splash(SW);
        // The splash shows once, modally, when the main window first becomes active.
        SW->setFirstActivation([] {
            if (::screen)
                ::screen->exec();
        });

        // The program ends when the main window closes, whatever else is open.
        QObject::connect(SW, &TSW::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        SW->show();
        // A new program's window takes the focus; its first activation shows the splash.
        SW->activateWindow();
        if (!module.isEmpty())
            QTimer::singleShot(0, SW, [module] { SW->openModule(module); });
        app.exec();
    } catch (const std::exception& error) {
        showException(error);
        destroyWindows();
        return 1;
    } catch (...) {
        showException(QStringLiteral("An unexpected error occurred."));
        destroyWindows();
        return 1;
    }
    destroyWindows();
    return 0;
}

} // namespace orvex::ui
