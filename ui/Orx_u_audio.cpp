// The main window's commands around a SAP file that is not saved yet: "Listen", "Export
// audio...", the TIME that "TIME at save" adds, and the module the program is opened with.

#include "Orx_u.h"

#include "encode.h"
#include "listening.h"
#include "paths.h"
#include "plain_window.h"
#include "safe_file.h"
#include "tune_length.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <new>

namespace {

using orvex::ui::MessageKind;

void tell(QWidget* owner, MessageKind kind, const QString& text)
{
    orvex::ui::dialogs().message(owner, kind, text);
}

// The capture of what a save would write. Without the TIME line of "TIME at save": what
// is heard does not depend on it, and finding it would keep the window waiting.
class Capture final : public orvex::SapWriter {
public:
    void write(orvex::SapFile& sap, const std::string&, const std::vector<orvex::InputFile>&) override { captured = sap; }
    orvex::SapFile captured;
};

} // namespace

namespace orvex::ui {

std::string addTimeLine(SapFile& sap)
{
    const sap::TuneLength length = sap::findLength(sap.bytes(), kTimeSearchSeconds);
    const std::string line = sap::timeLine(length);
    sap.header += line;
    if (!line.empty())
        return "";
    if (length.kind == sap::TuneLength::Kind::NotTimed || length.kind == sap::TuneLength::Kind::Failed)
        return length.problem;
    return "neither an end nor a loop was found within 20 minutes";
}

void TimedWriter::write(SapFile& sap, const std::string& target, const std::vector<InputFile>& inputs)
{
    untimed = addTimeLine(sap);
    SafeFile file(target, inputs);
    file.write(sap.bytes());
    file.commit();
}

} // namespace orvex::ui

void TSW::noticeUntimed()
{
    if (!timedWriter_->untimed.empty())
        tell(this, MessageKind::Notice,
             QStringLiteral("The SAP file has no TIME line: %1.").arg(QString::fromStdString(timedWriter_->untimed)));
    timedWriter_->untimed.clear();
}

std::optional<TSW::SapAsSaved> TSW::playableSap(const char* refused)
{
    if (state_->moduleLoaded != 1) {
        tell(this, MessageKind::Error, QStringLiteral("No module is loaded (each load allows one save): load one with \"Load Atari MSX\" first."));
        return std::nullopt;
    }
    // The save runs on copies of the state and of the boxes: nothing of the window changes.
    auto copy = std::make_unique<orvex::ConversionState>(*state_);
    orvex::PlainWindow boxes;
    boxes.name = nameText();
    boxes.author = authorText();
    boxes.date = dateText();
    boxes.odFileName = moduleFileName();
    Capture capture;
    orvex::Converter save(*copy, boxes, playerFolders_);
    save.setHeaderStyle(StandardHeader1->isChecked() ? orvex::HeaderStyle::Standard : orvex::HeaderStyle::Apostrophes);
    save.setWriter(&capture);
    save.SaveSAPfile();
    if (!boxes.errors.empty()) {
        showError(boxes.errors.front());
        return std::nullopt;
    }
    if (orvex::FormatTable[copy->formatIndex].type == 'D') {
        tell(this, MessageKind::Error, QStringLiteral("A TYPE D module (.MD1) cannot be %1: libgme, which plays the tunes, "
                                                      "does not play TYPE D.").arg(QLatin1String(refused)));
        return std::nullopt;
    }
    return SapAsSaved{std::move(capture.captured), std::move(copy->inputs)};
}

void TSW::Listen1Click()
{
    if (listening_->playing()) {
        stopListening();
        return;
    }
    const std::optional<SapAsSaved> sap = playableSap("played");
    if (!sap)
        return;
    if (const QString problem = listening_->start(sap->sap.bytes()); !problem.isEmpty()) {
        tell(this, MessageKind::Error, problem);
        return;
    }
    Listen1->setText(QStringLiteral("Stop listening"));
}

void TSW::stopListening()
{
    listening_->stop();
    Listen1->setText(listenText_);
}

void TSW::listeningEnded(const QString& problem)
{
    Listen1->setText(listenText_);
    if (!problem.isEmpty())
        tell(this, MessageKind::Error, problem);
}

void TSW::ExportAudio1Click()
{
    const std::optional<SapAsSaved> sap = playableSap("exported as audio");
    if (!sap)
        return;
    // The format of AD's filter (one for each, in their order)
    const auto filtered = [this]() -> const orvex::audio::FormatInfo& {
        const int last = static_cast<int>(orvex::audio::kFormats.size()) - 1;
        return orvex::audio::kFormats[static_cast<std::size_t>(std::clamp(AD.filterIndex, 0, last))];
    };
    // The module's name with the extension of the format chosen last
    const QFileInfo module(OD.fileName);
    AD.fileName = module.dir().filePath(module.completeBaseName() + QLatin1Char('.') + QLatin1String(filtered().name));
    if (!orvex::ui::dialogs().run(this, AD))
        return;
    // The format that the name's extension gives, else that of the filter chosen
    const auto format = orvex::audio::formatNamed(QFileInfo(AD.fileName).suffix().toStdString()).value_or(filtered().format);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString problem = writeAudio(*sap, format);
    QApplication::restoreOverrideCursor();
    if (!problem.isEmpty())
        tell(this, MessageKind::Error, problem);
}

QString TSW::writeAudio(const SapAsSaved& sap, orvex::audio::Format format)
{
    try {
        // As orvex-convert --audio makes it: the length found in 20 minutes, a fade of 10
        // seconds, the texts as typed for tags.
        orvex::SafeFile file(QFile::encodeName(AD.fileName).toStdString(), sap.inputs, "audio file");
        const std::string bytes = sap.sap.bytes();
        const auto length = orvex::sap::findLength(bytes, orvex::ui::kTimeSearchSeconds);
        const orvex::audio::Tags tags{Edit1->text().toStdString(), Edit2->text().toStdString(), Edit3->text().toStdString()};
        const orvex::audio::AudioFile audio = orvex::audio::makeAudio(bytes, length, format, {}, tags);
        file.write(audio.bytes);
        file.commit();
    } catch (const orvex::audio::AudioError& e) {
        return QStringLiteral("The audio cannot be made: %1.").arg(QString::fromUtf8(e.what()));
    } catch (const std::bad_alloc&) {
        return QStringLiteral("The audio cannot be made: out of memory.");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
    return {};
}

void TSW::openModule(const QString& module)
{
    droppedModule_ = QFileInfo(module).absoluteFilePath();
    samplesBeside_ = true;
    LoadAtariMSX1Click();
    samplesBeside_ = false;
    droppedModule_.clear();
}
