#pragma once
// One job of a run, as the window runs it: load, then save (as the job's target, or
// beside the module) through the run's writer; then, when asked, the playback check.

#include "conversion.h"
#include "encode.h"
#include "options.h"
#include "plain_window.h"
#include "plan.h"
#include "players.h"
#include "safe_file.h"
#include "tags_file.h"
#include "tune_length.h"
#include "workers.h"

#include <string>
#include <vector>

namespace cli {

// The window of one conversion: its dialogs answered from the command line, its messages
// gathered as lines, to be written together.
class CommandLineWindow : public orvex::PlainWindow {
public:
    std::vector<std::string> lines;
    int warnings = 0;
    orvex::audio::Tags given;  // the texts as the user gave them, UTF-8
    void showAdrConflict() override
    {
        lines.push_back(std::string("Warning: ") + orvex::kAdrConflictText + " The SAP file is written all the same.");
        ++warnings;
    }
    void showError(const std::string& message) override
    {
        PlainWindow::showError(message);
        lines.push_back(message);
    }
};

enum class Result { Converted, Failed, NotChecked, Skipped };

// What a conversion works with, the same for every job of a run.
struct Context {
    const Options& options;
    const TagsFile* tags;              // the texts of --tags, or nullptr
    const orvex::PlayerCache& players;
    Folders& folders;                  // those that receive files, flushed at the end
};

// What running the tune found (with --time or --audio): whether the SAP file has a TIME
// line, else the line that says why not, and how long the check listens to it (10 s, less
// for a tune that ends sooner).
struct Timing {
    orvex::sap::TuneLength length;
    bool timed = false;
    std::string untimed;
    double listen = 10;
};

// Runs the tune to find its length; with --time, adds its TIME line to the file, as its
// header's last line, when there is one. `shownAs` names the file.
Timing addTime(const Options& o, orvex::SapFile& sap, const std::string& shownAs);

// The audio files of a job, made but not yet in place; `withoutAudio`: a tune that
// cannot be played (TYPE D).
struct AudioFiles {
    std::vector<orvex::SafeFile> files;
    bool withoutAudio = false;
};

// One conversion, whose SAP file goes to `writer`; `timing`, filled by the writer, tells
// the check how long to listen and the audio how long to play. The audio files of
// --audio go to `audio`. Its lines go to `window`.
Result convertJob(const Job& job, const Context& context, orvex::SapWriter& writer, const Timing& timing,
                  AudioFiles& audio, CommandLineWindow& window);

} // namespace cli
