#pragma once
// The playback check of orvex-convert --check: the first 10 seconds of a SAP file played
// through libgme.

#include <string>

namespace cli {

// What is wrong with how the SAP file plays: "" when libgme plays it and it sounds,
// else what was heard, e.g. "plays silence for 10 s (RMS below -60 dBFS)".
std::string playbackProblem(const std::string& sapFile);

} // namespace cli
