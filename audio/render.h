#pragma once
// A SAP file's first tune played through libgme from its bytes in memory, as a player
// plays it: the sound of both chips of a STEREO tune, first chip left, second right; one
// channel otherwise. A length may be set: it then plays that many frames, the last of
// them fading to silence, and stops.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

struct Music_Emu;

namespace orvex::audio {

// What cannot be played or encoded: a clause that says why ("libgme cannot open it: ...").
class AudioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How long a tune plays: `frames` in all, the last `fadeFrames` of them fading linearly
// from full volume to silence.
struct Span {
    std::uint64_t frames = 0;
    std::uint64_t fadeFrames = 0;
};

class Renderer {
public:
    // Opens the SAP file's bytes at `rate` frames a second. Throws AudioError.
    Renderer(std::string_view sapFile, int rate);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    int channels() const { return channels_; }
    int rate() const { return rate_; }
    // Plays `span` from the start; without a span it plays on for good.
    void setSpan(const Span& span) { span_ = span; }
    const Span& span() const { return span_; }
    std::uint64_t position() const { return position_; }

    // Renders up to `count` frames into `out` (channels() samples a frame, interleaved);
    // returns how many, 0 once the span is over. Throws AudioError.
    std::size_t render(std::int16_t* out, std::size_t count);

private:
    void fade(std::int16_t* frames, std::uint64_t first, std::size_t count) const;

    Music_Emu* emu_ = nullptr;
    int rate_ = 0;
    int channels_ = 1;
    Span span_{UINT64_MAX, 0};
    std::uint64_t position_ = 0;
    std::unique_ptr<std::int16_t[]> stereo_;  // libgme's frames: always left and right
};

} // namespace orvex::audio
