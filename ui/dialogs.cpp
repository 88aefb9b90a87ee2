#include "dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>

namespace orvex::ui {

QStringList FileDialog::nameFilters() const
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        result << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

void QtDialogs::configure(QFileDialog& qt, const FileDialog& dialog)
{
    qt.setObjectName(dialog.objectName);
    // Qt's own dialog behaves alike on every desktop: it matches the patterns
    // without regard to case (SONG.MPT and song.mpt), honours the overwrite setting
    // and lets the sample dialog take a name of a file that does not exist.
    QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
    if (dialog.kind == FileDialog::Kind::Save) {
        qt.setAcceptMode(QFileDialog::AcceptSave);
        qt.setFileMode(QFileDialog::AnyFile);
        if (!dialog.confirmOverwrite)
            options |= QFileDialog::DontConfirmOverwrite;
    } else {
        qt.setAcceptMode(QFileDialog::AcceptOpen);
        qt.setFileMode(dialog.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    qt.setOptions(options);
    qt.setDefaultSuffix(QString());

    const QStringList filters = dialog.nameFilters();
    qt.setNameFilters(filters);
    if (!filters.isEmpty())
        qt.selectNameFilter(filters.value(dialog.filterIndex, filters.first()));

    const QFileInfo previous(dialog.fileName);
    if (!dialog.initialFolder.isEmpty()) {
        qt.setDirectory(dialog.initialFolder);
        if (!dialog.fileName.isEmpty() && QDir(previous.absolutePath()) == QDir(dialog.initialFolder))
            qt.selectFile(previous.fileName());
    } else if (!dialog.fileName.isEmpty()) {
        qt.setDirectory(previous.absolutePath());
        qt.selectFile(previous.fileName());
    }
}

bool QtDialogs::run(QWidget* owner, FileDialog& dialog)
{
    QFileDialog qt(owner);
    configure(qt, dialog);
    if (qt.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = qt.selectedFiles();
    if (chosen.isEmpty())
        return false;
    dialog.fileName = QDir::cleanPath(QFileInfo(chosen.first()).absoluteFilePath());
    dialog.filterIndex = std::max<int>(0, static_cast<int>(qt.nameFilters().indexOf(qt.selectedNameFilter())));
    return true;
}

void QtDialogs::message(QWidget* owner, MessageKind kind, const QString& text)
{
    QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Warning, messageTitle(), text,
                    QMessageBox::Ok, owner);
    box.exec();
}

namespace {

QtDialogs& qtDialogs()
{
    static QtDialogs standard;
    return standard;
}

Dialogs* current = nullptr;

} // namespace

Dialogs& dialogs()
{
    return current ? *current : qtDialogs();
}

void setDialogs(Dialogs* replacement)
{
    current = replacement;
}

QString messageTitle()
{
    return QStringLiteral("Orvex");
}

} // namespace orvex::ui
