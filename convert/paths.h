#pragma once
// Paths and how messages show them: extensions, folders, the SAP file beside a module.

#include <string>

namespace orvex {

// The extension of a path: the characters after its last '.', or empty.
std::string extensionOf(const std::string& path);
// The folder part of a path: "." for a bare name, "/" for the root.
std::string folderOf(const std::string& path);
// The SAP file that "Save SAP file" writes beside a module: the module's path with its
// last four characters replaced by ".SAP" (a path of four characters or fewer: ".SAP").
std::string derivedSapPath(const std::string& modulePath);
bool equalsIgnoringCase(const std::string& a, const std::string& b);

// A path as messages show it: in double quotes, control characters escaped ("\n",
// "\x1B"), so that every message stays one line.
std::string quoted(const std::string& path);
// What kind of file a mode describes, for messages: "a folder", "a FIFO", ...
std::string fileKind(unsigned mode);
// An Atari address as messages show it: "$04F3".
std::string atariAddress(unsigned value);

} // namespace orvex
