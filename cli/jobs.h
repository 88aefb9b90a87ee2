#pragma once
// The conversions of one run of orvex-convert with several modules or folders: which
// modules, their samples and the SAP file each writes.

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct Job {
    std::string module;
    std::optional<std::string> samples;  // .MD1: the .D15 file beside it with the same name
    std::string target;                  // the SAP file it writes
    std::string refusal;                 // why it is refused before it starts ("" none)
    bool silent = false;                 // its refusal has been said by another job's message
    bool makeFolder = false;             // the target's folder is made when it is missing
};

// The modules below each folder, by extension in any letter case, sorted; each with the
// folder it was found below. Folders that cannot be read add a message to `problems`.
std::vector<std::pair<std::string, std::string>> modulesBelow(const std::vector<std::string>& folders,
                                                              std::vector<std::string>& problems);

// The jobs for modules (each with the folder it was found below, or ""): the SAP file
// goes beside the module under the name "Save SAP file" derives, or into `outputFolder`,
// in subfolders that mirror the tree below the module's folder. Modules that would
// write the same SAP file are all refused with one message.
std::vector<Job> plan(const std::vector<std::pair<std::string, std::string>>& modules,
                      const std::optional<std::string>& outputFolder);

} // namespace cli
