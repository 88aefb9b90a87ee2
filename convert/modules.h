#pragma once
// Parts of the program that pull in large libraries (ICU, libsndfile with its codecs) are
// modules of their own, loaded the first time a run needs them: from the folder
// ORVEX_MODULE_FOLDER beside the program's folder.

#include <string>

namespace orvex {

// The entry `symbol` of the module `name` ("liborvex-sndfile.so"), loaded once; nullptr,
// with `error` saying why, when it cannot be loaded.
void* moduleEntry(const char* name, const char* symbol, std::string& error);

} // namespace orvex
