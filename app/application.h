#pragma once
// The application object and the program's start-up.
//
// Start-up creates the three windows in their order (main window, about box, splash)
// and runs the event loop until the main window closes. An exception during start-up
// is shown in one message box and ends the program with status 1; an exception that
// escapes an event handler is shown in one message box and the program goes on.

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

class QWidget;
class TSW;
class Tquill;
class Tscreen;

namespace orvex::ui {

class Application : public QApplication {
    Q_OBJECT
public:
    // Also leads the user's Qt settings nowhere: a run writes no settings.
    Application(int& argc, char** argv);

    // Every event passes here; an exception that escapes its handler is shown.
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows an exception's text in the program's error message box.
void showException(const std::exception& error);
void showException(const QString& text);

// How start-up makes the three windows (tests give their own).
struct WindowFactory {
    std::function<TSW*()> mainWindow;
    std::function<Tquill*(QWidget* owner)> aboutBox;
    std::function<Tscreen*(QWidget* owner)> splash;

    static WindowFactory standard();
};

// Creates the windows, runs the event loop until the main window closes and
// destroys the windows. Returns the program's exit status: 0 after a normal end,
// 1 when start-up failed. A `module` given is loaded once the main window shows, as
// "Load Atari MSX" loads it (`orvex FILE`, and a file opened from the desktop).
int runProgram(QApplication& app, const WindowFactory& windows = WindowFactory::standard(),
               const QString& module = QString());

} // namespace orvex::ui
