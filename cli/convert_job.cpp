#include "convert_job.h"

#include "check.h"
#include "conversion.h"
#include "paths.h"
#include "tune_length.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace cli {

namespace {

// Makes the folders that mirror the tree below the folder converted; they are flushed
// into their parents at the end.
bool makeFolder(const std::string& target, CommandLineWindow& window, Folders& folders)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::path(target).parent_path();
    static thread_local fs::path known;  // the jobs of a thread come a folder at a time
    if (folder == known || fs::is_directory(folder, error))
        return known = folder, true;
    fs::path missing = folder;
    while (!missing.parent_path().empty() && !fs::exists(missing.parent_path(), error))
        missing = missing.parent_path();
    if (!fs::create_directories(folder, error) && error) {
        window.lines.push_back("Cannot make the folder for the SAP file " + orvex::quoted(target) + ": " + error.message()
                               + ".");
        return false;
    }
    for (fs::path made = folder;; made = made.parent_path()) {
        folders.add(made.parent_path().empty() ? "." : made.parent_path().string());
        if (made == missing)
            return known = folder, true;
    }
}

// The module's texts, each from the first source that gives one: its row of the tags
// file, the options, the SAP file it replaces. Returns "" or why they cannot be written;
// the warnings go to the window.
std::string chooseTexts(const Job& job, const orvex::InputFile& module, const Context& context, CommandLineWindow& window)
{
    const Options& o = context.options;
    const auto row = context.tags ? context.tags->find(module.device, module.inode) : std::nullopt;
    Texts kept;
    std::string keptFrom;
    if (o.keepTags && job.target != "-") {
        const std::string sap = sapFileOf(job);
        keptFrom = "the SAP file " + orvex::quoted(sap) + ": ";
        if (const std::string problem = keptTexts(sap, kept); !problem.empty()) {
            window.lines.push_back("Warning: the SAP file " + orvex::quoted(sap) + " has no texts to keep: " + problem + ".");
            ++window.warnings;
        }
    }
    std::string* boxes[] = {&window.name, &window.author, &window.date};
    std::string* tags[] = {&window.given.title, &window.given.artist, &window.given.date};
    std::vector<std::string> warnings;
    for (int f = kName; f <= kDate; ++f) {
        const auto field = static_cast<Field>(f);
        std::string refused;
        if (row && !row->texts[f].empty())
            refused = encode(*tags[f] = row->texts[f], field, o.standardHeader, context.tags->source(row->line) + ": ",
                             *boxes[f], warnings);
        else if (!o.texts[f].empty())
            *boxes[f] = o.texts[f], *tags[f] = o.given[f];
        else if (!kept[f].empty())
            refused = encode(*tags[f] = kept[f], field, o.standardHeader, keptFrom, *boxes[f], warnings);
        else
            boxes[f]->clear(), tags[f]->clear();
        if (!refused.empty())
            return refused;
    }
    window.lines.insert(window.lines.end(), warnings.begin(), warnings.end());
    window.warnings += static_cast<int>(warnings.size());
    return "";
}

// Why a tune has no length: "no end or loop within 20 minutes", "it stays silent",
// "PLAYER does not return ...", "not timed: TYPE D ...".
std::string whyNoLength(const orvex::sap::TuneLength& length, double minutes)
{
    if (!length.problem.empty())
        return length.problem;
    char limit[32];
    std::snprintf(limit, sizeof limit, minutes == 1 ? "%g minute" : "%g minutes", minutes);
    return std::string("no end or loop within ") + limit;
}

// Loads the module and saves it with its texts; false when either is refused.
bool loadAndSave(const Job& job, const Context& context, orvex::SapWriter& writer, orvex::ConversionState& state,
                 CommandLineWindow& window)
{
    const Options& o = context.options;
    orvex::Converter converter(state, window, o.players);
    converter.setWriter(&writer);
    converter.setPlayerCache(&context.players);
    converter.setHeaderStyle(o.standardHeader ? orvex::HeaderStyle::Standard : orvex::HeaderStyle::Apostrophes);
    window.moduleAnswer = job.module;
    window.sampleAnswer = job.samples;
    converter.LoadAtariMSX();
    if (!window.errors.empty() || state.moduleLoaded != 1)
        return false;
    if (const std::string refused = chooseTexts(job, state.inputs.front(), context, window); !refused.empty()) {
        window.lines.push_back("Cannot convert the module " + orvex::quoted(job.module) + ": " + refused + ".");
        return false;
    }
    if (context.tags)
        state.inputs.push_back(context.tags->identity());  // read by this run: no SAP file goes over it
    if (job.makeFolder && !makeFolder(job.target, window, context.folders))
        return false;
    window.saveAnswer = job.target;
    if (job.target.empty())
        converter.SaveSAPfile();
    else
        converter.SaveSAPfileas();
    return window.errors.empty() && state.moduleLoaded == 0;
}

// Makes the audio files of --audio beside the SAP file, each begun at its target and
// written in full beside it; false when one fails, after saying why.
bool makeAudioFiles(const Options& o, const orvex::ConversionState& state, const Timing& timing, AudioFiles& audio,
                    CommandLineWindow& window)
{
    const std::string shownAs = orvex::quoted(state.sapPath);
    if (orvex::FormatTable[state.formatIndex].type == 'D') {
        window.lines.push_back("The SAP file " + shownAs + ": no audio: libgme does not play TYPE D.");
        audio.withoutAudio = true;
        return true;
    }
    for (const orvex::audio::Format format : o.audio) {
        const std::string target = audioPathOf(state.sapPath, format);
        try {
            orvex::SafeFile file(target, state.inputs, "audio file");
            const orvex::audio::AudioFile made =
                orvex::audio::makeAudio(state.sap.bytes(), timing.length, format, o.audioLength, window.given);
            file.write(made.bytes);
            audio.files.push_back(std::move(file));
            if (made.guessed && audio.files.size() == 1)
                window.lines.push_back("The audio of the SAP file " + shownAs + " plays for 3 minutes, then fades out: "
                                       + whyNoLength(timing.length, o.timeLimit) + ".");
        } catch (const orvex::audio::AudioError& e) {
            window.lines.push_back("Cannot make the audio file " + orvex::quoted(target) + ": " + e.what() + ".");
            return false;
        } catch (const orvex::ConversionError& e) {
            window.lines.push_back(e.what());
            return false;
        }
    }
    return true;
}

} // namespace

Timing addTime(const Options& o, orvex::SapFile& sap, const std::string& shownAs)
{
    Timing timing;
    const orvex::sap::TuneLength& length = timing.length = orvex::sap::findLength(sap.bytes(), o.timeLimit * 60);
    if (!o.time)
        return timing;
    const std::string line = orvex::sap::timeLine(length);
    if (line.empty()) {
        timing.untimed = "The SAP file " + shownAs + ": "
                         + (length.kind == orvex::sap::TuneLength::Kind::NotTimed ? "" : "no TIME: ")
                         + whyNoLength(length, o.timeLimit) + ".";
        return timing;
    }
    sap.header += line;
    timing.timed = true;
    if (length.kind == orvex::sap::TuneLength::Kind::Ends)
        timing.listen = std::min(timing.listen, length.seconds);
    return timing;
}

Result convertJob(const Job& job, const Context& context, orvex::SapWriter& writer, const Timing& timing,
                  AudioFiles& audio, CommandLineWindow& window)
{
    // A state for each thread, used again: every load starts it afresh.
    static thread_local auto state = std::make_unique<orvex::ConversionState>();
    if (!loadAndSave(job, context, writer, *state, window))
        return Result::Failed;
    if (!context.options.audio.empty() && !makeAudioFiles(context.options, *state, timing, audio, window))
        return Result::Failed;
    if (!context.options.check)
        return Result::Converted;
    const std::string shownAs = job.target == "-" ? "standard output" : orvex::quoted(state->sapPath);
    if (orvex::FormatTable[state->formatIndex].type == 'D') {
        window.lines.push_back("The SAP file " + shownAs + ": not checked: libgme does not play TYPE D.");
        return Result::NotChecked;
    }
    if (const std::string problem = orvex::audio::playbackProblem(state->sap.bytes(), timing.listen); !problem.empty()) {
        window.lines.push_back("Check: the SAP file " + shownAs + " " + problem + ".");
        return Result::Failed;
    }
    return Result::Converted;
}

} // namespace cli
