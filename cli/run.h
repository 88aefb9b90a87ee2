#pragma once
// The run of orvex-convert: the plan's conversions, several at once, each SAP file put in
// place as soon as it is complete and on disk, and the summary. TERM, INT and HUP end it
// at once, leaving no temporary file; a batch says its summary first.
//
// A batch's save, from the conversion to the disk: JobWriter (run.cpp) begins each SAP
// file at its target and writes it, placeFile commits it on a placer thread, and the
// folders are flushed once each at the end: the steps of orvex::SafeFile (safe_file.h).

#include "options.h"
#include "plan.h"
#include "tags_file.h"

#include <cstddef>

namespace cli {

// What the run did: each job counted once, as converted, failed or skipped.
struct Tally {
    unsigned converted = 0, failed = 0, skipped = 0;
    unsigned warnings = 0;    // ADR conflicts
    unsigned notChecked = 0;  // of those converted, with --check
    unsigned timed = 0;       // of those converted, with --time: those with a TIME line
    unsigned withAudio = 0;   // of those converted, with --audio: those with all their audio files
    unsigned withoutAudio = 0;  // and those that cannot have any (TYPE D)
};

// The line that ends a batch, "orvex-convert: 5998 converted, 2 failed.\n", made in
// `line` without taking memory; returns its length.
std::size_t summaryLine(const Options& options, const Tally& tally, char (&line)[256]);

// From here until run() takes them, TERM, INT and HUP end a batch with its summary of
// nothing done.
void summarizeEarlyStops(const Options& options);

// Runs the plan; `tags`: the tags file of --tags, or nullptr. `tally` holds what was
// done, also when the run ends short of memory.
void run(const Options& options, Plan& plan, const TagsFile* tags, Tally& tally);

} // namespace cli
