#include "length.h"

#include <cmath>

namespace orvex::audio {

AudioLength audioLength(const sap::TuneLength& length, const LengthRule& rule, int rate)
{
    const auto frames = [rate](double seconds) { return static_cast<std::uint64_t>(std::llround(seconds * rate)); };
    AudioLength audio;
    double played = kUnknownSeconds;
    if (rule.seconds)
        played = *rule.seconds;
    else if (length.kind == sap::TuneLength::Kind::Ends || length.kind == sap::TuneLength::Kind::Loops)
        played = static_cast<double>(std::llround(length.seconds * 1000)) / 1000;  // as TIME says it
    else
        audio.guessed = true;
    if (!rule.seconds && length.kind == sap::TuneLength::Kind::Ends) {
        audio.span = {frames(played), 0};
        return audio;
    }
    audio.span = {frames(played) + frames(rule.fadeSeconds), frames(rule.fadeSeconds)};
    return audio;
}

} // namespace orvex::audio
