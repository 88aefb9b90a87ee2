#pragma once
// The playback check of orvex-convert --check: the first 10 seconds of a SAP file played
// through libgme, or less for a tune known to end sooner.

#include <string>

namespace orvex::audio {

// What is wrong with how the SAP file plays: "" when libgme plays it and it sounds,
// else what was heard, e.g. "plays silence for 10 s (RMS below -60 dBFS)". It listens
// after the first 0.2 s up to `seconds` (at most 10), and stops as soon as it has heard
// enough sound for that whole span to be above -60 dBFS.
std::string playbackProblem(const std::string& sapFile, double seconds = 10);

} // namespace orvex::audio
