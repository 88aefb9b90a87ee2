// The main window's side of MainWindowLink: what the conversion reads and writes of
// its boxes (and what of their texts the header cannot hold), value fields, dialogs and
// message boxes.

#include "Orx_u.h"

#include "listening.h"
#include "text8.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

QString fromPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string toPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString fromText8(const std::string& text)
{
    return QString::fromStdString(orvex::windows1250ToUtf8(text));
}

} // namespace

// ------------------------------------------------------------------ the header's texts

QString TSW::unheldCharacters() const
{
    const bool standard = StandardHeader1->isChecked();
    QStringList lines;
    const std::pair<const Label*, const QLineEdit*> boxes[] = {{Label2, Edit1}, {Label1, Edit2}, {Label3, Edit3}};
    for (const auto& [caption, box] : boxes) {
        std::u32string missing;
        bool changed = false;
        const std::string text = box->text().toStdString();
        const std::string written = standard ? orvex::utf8ToAscii(text, &changed, &missing)
                                             : orvex::windows1250ToUtf8(orvex::utf8ToWindows1250(text, &missing));
        if (missing.empty() && !changed)
            continue;
        QStringList named;
        for (const char32_t character : missing)
            named << QString::fromStdString(orvex::describeCharacter(character));
        QString line = QStringLiteral("%1 \"%2\" is written as \"%3\"").arg(caption->text(), box->text(), QString::fromStdString(written));
        lines << (named.isEmpty() ? line : line + QStringLiteral(": ") + named.join(QStringLiteral(", "))) + QLatin1Char('.');
    }
    if (lines.isEmpty())
        return {};
    const QString intro = standard ? QStringLiteral("The standard SAP header holds printable ASCII only; other characters "
                                                    "are written in their ASCII forms, or as \"?\".\n\n")
                                   : QStringLiteral("The SAP header holds the characters of the Windows-1250 code page "
                                                    "only; each other character is written as \"?\".\n\n");
    return intro + lines.join(QLatin1Char('\n'));
}

// ------------------------------------------------------------------ MainWindowLink

std::string TSW::headerText(const QString& text) const
{
    if (StandardHeader1->isChecked())
        return orvex::utf8ToAscii(text.toStdString());
    return orvex::utf8ToWindows1250(text.toStdString());
}

std::string TSW::nameText() const
{
    return headerText(Edit1->text());
}

void TSW::setNameText(const std::string& text)
{
    Edit1->setText(fromText8(text));
}

std::string TSW::authorText() const
{
    return headerText(Edit2->text());
}

void TSW::setAuthorText(const std::string& text)
{
    Edit2->setText(fromText8(text));
}

std::string TSW::dateText() const
{
    return headerText(Edit3->text());
}

void TSW::setDateText(const std::string& text)
{
    Edit3->setText(fromText8(text));
}

bool TSW::infoClearChecked() const
{
    return ox->isChecked();
}

void TSW::enableInfoFields()
{
    infoEnabled_ = true;
    setInfoFieldsEnabled(true);
}

void TSW::setFormatValue(const std::string& text)
{
    Label13->setText(fromPath(text));
}

void TSW::setSizeValue(const std::string& text)
{
    Label14->setText(fromPath(text));
}

void TSW::setSapValue(const std::string& text)
{
    Label15->setText(fromPath(text));
}

bool TSW::runModuleDialog()
{
    // A module dropped onto the window counts as that file confirmed in the dialog.
    if (!droppedModule_.isEmpty()) {
        OD.fileName = std::exchange(droppedModule_, QString());
        loadConfirmed_ = true;
    } else {
        loadConfirmed_ = orvex::ui::dialogs().run(this, OD);
    }
    // A new load ends the listening to the one before.
    if (loadConfirmed_)
        stopListening();
    return loadConfirmed_;
}

std::string TSW::moduleFileName() const
{
    return toPath(OD.fileName);
}

void TSW::setSampleDialogFolder(const std::string& folder)
{
    ODS.initialFolder = fromPath(folder);
}

bool TSW::runSampleDialog()
{
    if (samplesBeside_) {
        const QFileInfo module(OD.fileName);
        const QString name = module.completeBaseName() + QStringLiteral(".d15");
        for (const QFileInfo& file : module.dir().entryInfoList(QDir::Files | QDir::Hidden)) {
            if (file.fileName().compare(name, Qt::CaseInsensitive) == 0) {
                ODS.fileName = file.filePath();
                return true;
            }
        }
    }
    return orvex::ui::dialogs().run(this, ODS);
}

std::string TSW::sampleFileName() const
{
    return toPath(ODS.fileName);
}

bool TSW::runSaveDialog()
{
    return orvex::ui::dialogs().run(this, SD);
}

std::string TSW::saveFileName() const
{
    return toPath(SD.fileName);
}

void TSW::setSaveFileName(const std::string& path)
{
    SD.fileName = fromPath(path);
}

void TSW::showAdrConflict()
{
    orvex::ui::dialogs().message(this, orvex::ui::MessageKind::Notice, QString::fromLatin1(orvex::kAdrConflictText));
}

void TSW::showError(const std::string& message)
{
    orvex::ui::dialogs().message(this, orvex::ui::MessageKind::Error, fromPath(message));
}
