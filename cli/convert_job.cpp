#include "convert_job.h"

#include "check.h"
#include "conversion.h"
#include "paths.h"
#include "tune_length.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace cli {

namespace {

// Makes the folders that mirror the tree below the folder converted; they are flushed
// into their parents at the end.
bool makeFolder(const std::string& target, Messages& messages, Folders& folders)
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
        messages.lines.push_back("Cannot make the folder for the SAP file " + orvex::quoted(target) + ": " + error.message()
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
// the warnings go to the messages.
std::string chooseTexts(const Job& job, const orvex::InputFile& module, const Context& context, Messages& messages)
{
    const Options& o = context.options;
    const auto row = context.tags ? context.tags->find(module.device, module.inode) : std::nullopt;
    Texts kept;
    std::string keptFrom;
    if (o.keepTags && job.target != "-") {
        const std::string sap = job.target.empty() ? orvex::derivedSapPath(job.module) : job.target;
        keptFrom = "the SAP file " + orvex::quoted(sap) + ": ";
        if (const std::string problem = keptTexts(sap, kept); !problem.empty()) {
            messages.lines.push_back("Warning: the SAP file " + orvex::quoted(sap) + " has no texts to keep: " + problem + ".");
            ++messages.warnings;
        }
    }
    std::string* boxes[] = {&messages.name, &messages.author, &messages.date};
    std::vector<std::string> warnings;
    for (int f = kName; f <= kDate; ++f) {
        const auto field = static_cast<Field>(f);
        std::string refused;
        if (row && !row->texts[f].empty())
            refused = encode(row->texts[f], field, o.standardHeader, context.tags->source(row->line) + ": ", *boxes[f], warnings);
        else if (!o.texts[f].empty())
            *boxes[f] = o.texts[f];
        else if (!kept[f].empty())
            refused = encode(kept[f], field, o.standardHeader, keptFrom, *boxes[f], warnings);
        else
            boxes[f]->clear();
        if (!refused.empty())
            return refused;
    }
    messages.lines.insert(messages.lines.end(), warnings.begin(), warnings.end());
    messages.warnings += static_cast<int>(warnings.size());
    return "";
}

// Why a tune has no TIME line: "not timed: TYPE D ...", "no TIME: no end or loop within
// 20 minutes", "no TIME: it stays silent", "no TIME: PLAYER does not return ...".
std::string whyNoTime(const orvex::sap::TuneLength& length, double minutes)
{
    if (length.kind == orvex::sap::TuneLength::Kind::NotTimed)
        return length.problem;
    if (!length.problem.empty())
        return "no TIME: " + length.problem;
    char limit[32];
    std::snprintf(limit, sizeof limit, minutes == 1 ? "%g minute" : "%g minutes", minutes);
    return std::string("no TIME: no end or loop within ") + limit;
}

// Adds the TIME line to the SAP file `file` (and to `written`, the file on disk). Returns
// false when the file on disk cannot be rewritten; `listen` is shortened to the tune's
// end.
bool addTime(const Options& o, std::string& file, std::size_t imageEnd, orvex::WrittenFile* written, const std::string& shownAs,
             Converted& converted, double& listen, Messages& messages)
{
    const orvex::sap::TuneLength length = orvex::sap::findLength(file, o.timeLimit * 60);
    const std::string line = orvex::sap::timeLine(length);
    if (line.empty()) {
        messages.lines.push_back("The SAP file " + shownAs + ": " + whyNoTime(length, o.timeLimit) + ".");
        return true;
    }
    file.insert(file.size() - imageEnd, line);  // the header's last line
    if (written) {
        if (const std::string problem = written->rewrite(file); !problem.empty()) {
            messages.lines.push_back(problem);
            return false;
        }
    }
    converted.timed = true;
    if (length.kind == orvex::sap::TuneLength::Kind::Ends)
        listen = std::min(listen, length.seconds);
    return true;
}

// Loads the module and saves it with its texts; false when either is refused.
bool loadAndSave(const Job& job, const Context& context, orvex::ConversionState& state, Messages& messages)
{
    const Options& o = context.options;
    state.sapFile.setStandardOutput(job.target == "-");
    state.sapFile.setPlaceLater(true);
    orvex::Converter converter(state, messages, o.players);
    converter.setPlayerCache(&context.players);
    converter.setHeaderStyle(o.standardHeader ? orvex::HeaderStyle::Standard : orvex::HeaderStyle::Apostrophes);
    messages.moduleAnswer = job.module;
    messages.sampleAnswer = job.samples;
    converter.LoadAtariMSX();
    if (!messages.errors.empty() || state.moduleLoaded != 1)
        return false;
    if (const std::string refused = chooseTexts(job, state.inputs.front(), context, messages); !refused.empty()) {
        messages.lines.push_back("Cannot convert the module " + orvex::quoted(job.module) + ": " + refused + ".");
        return false;
    }
    if (context.tags)
        state.inputs.push_back(context.tags->identity());  // read by this run: no SAP file goes over it
    if (job.makeFolder && !makeFolder(job.target, messages, context.folders))
        return false;
    messages.saveAnswer = job.target;
    if (job.target.empty())
        converter.SaveSAPfile();
    else
        converter.SaveSAPfileas();
    return messages.errors.empty() && state.moduleLoaded == 0;
}

} // namespace

Converted convertJob(const Job& job, const Context& context, Messages& messages)
{
    const Options& o = context.options;
    // A state for each thread, used again: every load starts it afresh.
    static thread_local auto state = std::make_unique<orvex::ConversionState>();
    Converted converted;
    if (!loadAndSave(job, context, *state, messages))
        return converted;
    converted.file = state->sapFile.takeWritten();
    const std::string shownAs = job.target == "-" ? "standard output" : orvex::quoted(state->sapPath);
    std::string file = state->sapFile.contents();
    double listen = 10;
    if (o.time && !addTime(o, file, state->imageEnd, converted.file.get(), shownAs, converted, listen, messages))
        return converted;
    if (job.target == "-") {
        if (const int error = orvex::writeAll(STDOUT_FILENO, file)) {
            messages.lines.push_back(std::string("Cannot write the SAP file to standard output: ") + std::strerror(error) + ".");
            return converted;
        }
    }
    converted.result = Result::Converted;
    if (!o.check)
        return converted;
    if (orvex::FormatTable[state->formatIndex].type == 'D') {
        messages.lines.push_back("The SAP file " + shownAs + ": not checked: libgme does not play TYPE D.");
        converted.result = Result::NotChecked;
        return converted;
    }
    if (const std::string problem = playbackProblem(file, listen); !problem.empty()) {
        messages.lines.push_back("Check: the SAP file " + shownAs + " " + problem + ".");
        converted.result = Result::Failed;
    }
    return converted;
}

} // namespace cli
