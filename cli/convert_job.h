#pragma once
// One job of a run, as the window runs it: load, then save (as the job's target, or
// beside the module); then, when asked, the tune's length and the playback check. The
// SAP file is complete but not yet in its place when it returns.

#include "options.h"
#include "plain_window.h"
#include "plan.h"
#include "players.h"
#include "sap_output.h"
#include "tags_file.h"
#include "workers.h"

#include <memory>
#include <string>
#include <vector>

namespace cli {

// The messages of one conversion, one line each, written together.
class Messages : public orvex::PlainWindow {
public:
    std::vector<std::string> lines;
    int warnings = 0;
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

// What a conversion gives: how it ended, the SAP file to put in place (none for standard
// output or a failure), and whether it has a TIME line.
struct Converted {
    Result result = Result::Failed;
    std::unique_ptr<orvex::WrittenFile> file;
    bool timed = false;
};

// One conversion; its lines go to `messages`.
Converted convertJob(const Job& job, const Context& context, Messages& messages);

} // namespace cli
