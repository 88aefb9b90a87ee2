#pragma once
// The run of orvex-convert: the plan's conversions, several at once, each SAP file put in
// place as soon as it is complete and on disk, and the summary. TERM, INT and HUP end it
// at once, leaving no temporary file.

#include "options.h"
#include "plan.h"
#include "tags_file.h"

namespace cli {

// What the run did: each job counted once, as converted, failed or skipped.
struct Tally {
    unsigned converted = 0, failed = 0, skipped = 0;
    unsigned warnings = 0;    // ADR conflicts
    unsigned notChecked = 0;  // of those converted, with --check
    unsigned timed = 0;       // of those converted, with --time: those with a TIME line
};

// `tags`: the tags file of --tags, or nullptr.
Tally run(const Options& options, Plan& plan, const TagsFile* tags);

} // namespace cli
