#pragma once
// Parts of the program that pull in large libraries (ICU, libsndfile with its codecs) are
// modules of their own, loaded the first time a run needs them: from the folder
// ORVEX_MODULE_FOLDER beside the program's folder.

#include <string>

namespace orvex {

struct ModuleEntry {
    void* entry = nullptr;  // nullptr when the module cannot be loaded
    std::string error;      // why not
};

// The entry `symbol` of the module `name` ("liborvex-sndfile.so"), loaded the first time
// it is asked for, by any thread, and kept.
const ModuleEntry& moduleEntry(const char* name, const char* symbol);

} // namespace orvex
