#pragma once
// orvex-convert as the tests run it

#include "support.h"

#include <regex>
#include <sstream>

namespace support {

// orvex-convert with the player files of the test's folder; "@name" in `args` stands for
// the file or folder `name` there. A run that hangs is ended after a minute.
inline Outcome orvexConvert(const Bench& b, std::vector<std::string> args)
{
    for (std::string& arg : args)
        arg = arg.starts_with("@") ? b.dir / arg.substr(1) : arg;
    args.insert(args.begin(), {"timeout", "60", ORVEX_CONVERT, "-p", b.players});
    return run(args);
}

// The first line of standard error that is not a sentence behind "orvex-convert: " (a
// capital letter, a quoted name or a number to a full stop), or "". After a usage error
// the line on --help follows.
inline std::string notASentence(const std::string& err)
{
    static const std::regex sentence("orvex-convert: [A-Z0-9\"].*\\.|Try 'orvex-convert --help' for more information\\.");
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        if (!std::regex_match(line, sentence))
            return line;
    }
    return "";
}

} // namespace support
