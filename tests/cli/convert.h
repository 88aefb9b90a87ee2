#pragma once
// orvex-convert as the tests run it

#include "support.h"

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

} // namespace support
