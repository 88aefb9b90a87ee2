#pragma once
// Helpers of the window tests: dialogs answered by the test, and files of our own.

#include "dialogs.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace testing_ui {

// Answers each file dialog from a queue (an empty answer, or none queued: cancel)
// and records every dialog run and every message.
class FakeDialogs : public orvex::ui::Dialogs {
public:
    struct Run {
        QString dialog;         // OD, SD or ODS
        QString fileName;       // the dialog's file name when it opened
        QString initialFolder;  // and its initial folder
    };
    struct Message {
        orvex::ui::MessageKind kind;
        QString text;
    };

    FakeDialogs();
    ~FakeDialogs() override;

    // The next answer of the dialog `name`; std::nullopt: the user cancels.
    void answer(const QString& name, std::optional<QString> path);

    bool run(QWidget* owner, orvex::ui::FileDialog& dialog) override;
    void message(QWidget* owner, orvex::ui::MessageKind kind, const QString& text) override;

    std::vector<Run> runs;
    std::vector<Message> messages;
    QStringList messageTexts() const;
    int runsOf(const QString& name) const;

private:
    std::vector<std::pair<QString, std::optional<QString>>> answers_;
};

// Leaves out the offscreen platform's notes that it cannot raise windows or grab the
// keyboard (call from initTestCase, after the test log has taken the messages).
void quietPlatformNotes();

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray bytes(std::initializer_list<int> values);

// An Atari binary file: FF FF, start, end, then `body` (padded with a counting
// pattern to `length` bytes in all when length is larger).
QByteArray atariModule(int start, int end, int length, const QByteArray& body = {});
// A player file: FF FF, a segment header for $0500, then `codeLength` bytes of code.
QByteArray playerFile(int codeLength, int seed);
// Writes the three player files into `folder`.
void writePlayers(const QString& folder);

} // namespace testing_ui
