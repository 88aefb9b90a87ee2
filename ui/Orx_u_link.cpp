// The main window's side of MainWindowLink: what the conversion reads and writes of
// its boxes (and what of their texts the header cannot hold), value fields, dialogs and
// message boxes.

#include "Orx_u.h"

#include "text8.h"

#include <QFile>

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

std::string toText8(const QString& text)
{
    return orvex::utf8ToWindows1250(text.toStdString());
}

} // namespace

// ------------------------------------------------------------------ the header's texts

QString TSW::unheldCharacters() const
{
    QStringList lines;
    const std::pair<const Label*, const QLineEdit*> boxes[] = {{Label2, Edit1}, {Label1, Edit2}, {Label3, Edit3}};
    for (const auto& [caption, box] : boxes) {
        std::u32string missing;
        const std::string written = orvex::utf8ToWindows1250(box->text().toStdString(), &missing);
        if (missing.empty())
            continue;
        QStringList named;
        for (const char32_t character : missing)
            named << QString::fromStdString(orvex::describeCharacter(character));
        lines << QStringLiteral("%1 \"%2\" is written as \"%3\": %4.")
                     .arg(caption->text(), box->text(), QString::fromStdString(orvex::windows1250ToUtf8(written)),
                          named.join(QStringLiteral(", ")));
    }
    if (lines.isEmpty())
        return {};
    return QStringLiteral("The SAP header holds the characters of the Windows-1250 code page only; each other "
                          "character is written as \"?\".\n\n")
           + lines.join(QLatin1Char('\n'));
}

// ------------------------------------------------------------------ MainWindowLink

std::string TSW::nameText() const
{
    return toText8(Edit1->text());
}

void TSW::setNameText(const std::string& text)
{
    Edit1->setText(fromText8(text));
}

std::string TSW::authorText() const
{
    return toText8(Edit2->text());
}

void TSW::setAuthorText(const std::string& text)
{
    Edit2->setText(fromText8(text));
}

std::string TSW::dateText() const
{
    return toText8(Edit3->text());
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
        return loadConfirmed_ = true;
    }
    return loadConfirmed_ = orvex::ui::dialogs().run(this, OD);
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
