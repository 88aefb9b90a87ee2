// orvex-convert: the program's conversion for batch use. It runs the same load and
// save commands as the window, with the dialogs answered from the command line.

#include "options.h"
#include "plan.h"
#include "run.h"
#include "tags_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

// A standard stream that is closed gets /dev/null opened the other way round, so that no
// file the program opens takes its number and every use of it fails.
void holdClosedStreams()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) == -1)
            ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    }
}

// The line that ends a batch: "5998 converted, 2 failed."
void summarize(const cli::Options& options, const cli::Tally& tally)
{
    char line[256];
    std::fwrite(line, 1, cli::summaryLine(options, tally, line), stderr);
}

} // namespace

int main(int argc, char** argv)
{
    holdClosedStreams();
    cli::Options options;
    cli::Tally tally;
    try {
        if (const auto status = cli::parse(argc, argv, options))
            return *status;
        cli::summarizeEarlyStops(options);
        std::optional<cli::TagsFile> tags;
        try {
            if (options.tags)
                tags.emplace(*options.tags);
        } catch (const cli::TagsFileError& e) {
            std::fprintf(stderr, "orvex-convert: %s\n", e.what());
            return 2;
        }
        cli::Plan plan(options);
        cli::run(options, plan, tags ? &*tags : nullptr, tally);
        if (tags) {
            tags->unmatched([&](const std::string& warning) {
                std::fprintf(stderr, "orvex-convert: %s\n", warning.c_str());
                ++tally.warnings;
            });
        }
        if (options.batch())
            summarize(options, tally);
        return tally.failed > 0 || std::ferror(stderr) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        std::fputs("orvex-convert: Out of memory.\n", stderr);
        if (options.batch())
            summarize(options, tally);  // what was done before
        return 1;
    }
}
