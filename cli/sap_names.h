#pragma once
// The SAP files that a run's jobs write, told apart as the file system sees them:
// symbolic links followed, each by its folder's device and inode (its path while it does
// not exist) and its name. The plan refuses together the modules of one folder that would
// write the same file. Across folders, only a SAP name that a link leads elsewhere (the
// SAP file a symbolic link, or with -o a folder of the tree reached through one) can meet
// another folder's: such names are compared with the other folders' SAP files, and only
// they are kept for the whole run, so that memory does not grow with the archive.

#include "options.h"

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>

namespace cli {

// A file that the run converts, by its extension (any letter case)
bool isModule(const std::string& name);

class SapNames {
public:
    // `read`: whether the plan has read the folder of that device and inode.
    SapNames(const Options& options, std::function<bool(dev_t, ino_t)> read);

    struct Name {
        std::string key;       // the same for the same file
        std::string resolved;  // the file, symbolic links followed
        bool linked = false;   // a link leads it away from where its name is
    };
    // The SAP file that `target` names. A folder is looked up once for the jobs of one
    // step of the plan, which starts with newFolders().
    Name of(const std::string& target);
    void newFolders() { folders_.clear(); }

    // The module of another folder that writes the same SAP file as `name`, or "".
    std::string otherWriter(const Name& name) const;
    // `module` writes the SAP file `name`: kept when the name is linked.
    void add(const Name& name, const std::string& module);

private:
    struct Folder {
        std::string key;
        bool linked;
    };
    const Folder& folder(const std::string& path);
    std::string writerIn(const std::string& folder, const std::string& sapName) const;

    const Options& options_;
    std::function<bool(dev_t, ino_t)> read_;
    std::string outputAsGiven_, outputFound_;  // -o: its path, and where links lead it
    std::map<std::string, Folder> folders_;
    std::map<std::string, std::string> linked_;  // the linked SAP names' modules, by key
};

} // namespace cli
