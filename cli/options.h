#pragma once
// What orvex-convert is asked to do: its options and arguments.

#include "encode.h"
#include "texts.h"
#include "tune_length.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct Options {
    Texts texts;       // -n, -a and -d in the header's form: Windows-1250, or ASCII
    Texts given;       // -n, -a and -d as given, UTF-8: the audio files' tags
    int textWarnings = 0;  // the warnings about them, said already
    std::optional<std::string> tags;  // the tags file
    bool keepTags = false, standardHeader = false;
    std::optional<std::string> output, samples;
    std::vector<std::string> players;
    bool recursive = false, check = false;
    bool time = false;         // a TIME line for each tune, found by running it
    double timeLimit = orvex::sap::kTimeLimitMinutes;  // minutes of a tune followed to find its length
    unsigned jobs = 1;
    std::vector<orvex::audio::Format> audio;  // the audio files written beside each SAP file
    orvex::audio::LengthRule audioLength;     // --fade and --length
    std::vector<std::string> arguments;  // modules, or folders with -r

    // Several modules or folders: one SAP file each, a summary at the end
    bool batch() const { return recursive || arguments.size() > 1; }
};

// The audio file of `format` beside the SAP file: its name with the format's extension
// in place of its own ("tune.SAP": "tune.flac").
std::string audioPathOf(const std::string& sapFile, orvex::audio::Format format);

// Reads the command line. Returns the exit status when the run ends here (help, version,
// a usage error, each with its output written), nothing when the conversion goes on.
std::optional<int> parse(int argc, char** argv, Options& options);

} // namespace cli
