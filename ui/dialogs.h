#pragma once
// The file dialogs and message boxes of the windows, behind one seam: the program
// uses Qt's dialogs, tests put in their own answers.

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace orvex::ui {

// A file dialog as a window keeps it: its stored settings, and the file name, folder
// and chosen filter that stay with it from one run to the next.
struct FileDialog {
    enum class Kind { Open, Save };

    QString objectName;
    Kind kind = Kind::Open;
    // As stored: descriptions and their patterns alternating, separated by '|',
    // patterns separated by ';' ("Tunes|*.ABC;*.DEF|Other|*.GHI").
    QString filter;
    // Open: only the name of an existing file is accepted; otherwise any name is.
    bool fileMustExist = false;
    // Save: ask before an existing file is replaced.
    bool confirmOverwrite = false;

    // The full path picked last (or set by the program); kept between runs.
    QString fileName;
    // Where the next run opens when set; otherwise the folder of fileName.
    QString initialFolder;
    // The filter selected when the dialog opens: the first one at first, then the
    // one the user last confirmed with.
    int filterIndex = 0;

    // The stored filter in Qt's form, "Description (*.A *.B)", one entry per filter.
    QStringList nameFilters() const;
};

enum class MessageKind {
    Notice,  // a warning the user acknowledges
    Error,   // a command or the program could not do what was asked
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Runs the dialog modally over `owner`. When the user confirms, the chosen path
    // goes into dialog.fileName and the result is true; a cancel changes nothing.
    virtual bool run(QWidget* owner, FileDialog& dialog) = 0;
    // A modal message box with one OK button.
    virtual void message(QWidget* owner, MessageKind kind, const QString& text) = 0;
};

// Qt's own file dialog and message box.
class QtDialogs : public Dialogs {
public:
    bool run(QWidget* owner, FileDialog& dialog) override;
    void message(QWidget* owner, MessageKind kind, const QString& text) override;

    // Sets up a Qt file dialog as `dialog` describes it.
    static void configure(QFileDialog& qt, const FileDialog& dialog);
};

// The dialogs the program uses now.
Dialogs& dialogs();
// Puts other dialogs in place (nullptr: Qt's again). The caller keeps ownership.
void setDialogs(Dialogs* replacement);

// The title of the program's message boxes
QString messageTitle();

} // namespace orvex::ui
