#pragma once
// The main window on a state and a folder of its own, its dialogs answered by the test

#include "Orx_u.h"
#include "dialogs.h"
#include "support.h"

#include <QPoint>
#include <QString>

#include <map>

namespace support {

// Answers each file dialog with the paths queued for it (none left: the user cancels)
// and records the messages shown: "error: text" or "notice: text".
class FakeDialogs : public orvex::ui::Dialogs {
public:
    FakeDialogs() { orvex::ui::setDialogs(this); }
    ~FakeDialogs() override { orvex::ui::setDialogs(nullptr); }
    bool run(QWidget* owner, orvex::ui::FileDialog& dialog) override;
    void message(QWidget* owner, orvex::ui::MessageKind kind, const QString& text) override;

    std::map<QString, QStringList> answers;  // by the dialog's name
    QStringList messages;
};

struct WindowFixture {
    WindowFixture();
    Bench bench;  // the folder, the player files and the state the window works on
    FakeDialogs dialogs;
    TSW w;

    // Shows the window with its outer top-left corner at `corner`.
    void showAt(QPoint corner);
    // "Load Atari MSX" with the module (and the samples queued for their dialog, if any)
    void load(const std::string& module);
};

} // namespace support
