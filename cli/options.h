#pragma once
// What orvex-convert is asked to do: its options and arguments.

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct Options {
    std::string name, author, date;  // Windows-1250 bytes, as the header takes them
    int textWarnings = 0;            // characters without a Windows-1250 form
    std::optional<std::string> output, samples;
    std::vector<std::string> players;
    bool recursive = false, check = false;
    unsigned jobs = 1;
    std::vector<std::string> arguments;  // modules, or folders with -r

    // Several modules or folders: one SAP file each, a summary at the end
    bool batch() const { return recursive || arguments.size() > 1; }
};

// Reads the command line. Returns the exit status when the run ends here (help, version,
// a usage error, each with its output written), nothing when the conversion goes on.
std::optional<int> parse(int argc, char** argv, Options& options);

} // namespace cli
