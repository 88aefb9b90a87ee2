#pragma once
// How long a tune's audio runs, from the length that running it found:
// - a tune that ends stops at its TIME, with no fade;
// - a tune that loops plays to its TIME, then on into the loop while it fades out;
// - a tune with neither plays for 3 minutes, then fades the same way;
// - a length given by the user replaces the tune's own; the fade still follows.
// TIME is taken as its line writes it, to the millisecond.

#include "render.h"
#include "tune_length.h"

#include <optional>

namespace orvex::audio {

inline constexpr double kUnknownSeconds = 180;
inline constexpr double kDefaultFadeSeconds = 10;

struct LengthRule {
    double fadeSeconds = kDefaultFadeSeconds;
    std::optional<double> seconds;  // the user's length, played before the fade
};

struct AudioLength {
    Span span;
    bool guessed = false;  // neither an end nor a loop was found: 3 minutes were taken
};

AudioLength audioLength(const sap::TuneLength& length, const LengthRule& rule, int rate);

} // namespace orvex::audio
