#include "render.h"

#include "sap_file.h"

#include <gme/gme.h>

#include <algorithm>
#include <cstring>

namespace orvex::audio {

namespace {

constexpr std::size_t kBlock = 2048;  // frames asked of libgme at once

// Whether the SAP header has a STEREO line: libgme then gives each chip its own side.
bool isStereo(std::string_view sap)
{
    sap::SapHeaderReader reader;
    if (reader.feed(sap))
        reader.finish();
    return reader.header().stereo;
}

} // namespace

Renderer::Renderer(std::string_view sapFile, int rate)
    : rate_(rate), channels_(isStereo(sapFile) ? 2 : 1), stereo_(new std::int16_t[kBlock * 2])
{
    if (gme_err_t error = gme_open_data(sapFile.data(), static_cast<long>(sapFile.size()), &emu_, rate))
        throw AudioError(std::string("libgme cannot open it: ") + error);
    // From its first frame, silence included, and with no fade or end of libgme's own
    gme_ignore_silence(emu_, 1);
    gme_set_autoload_playback_limit(emu_, 0);
    if (gme_err_t error = gme_start_track(emu_, 0)) {
        gme_delete(emu_);
        throw AudioError(std::string("libgme cannot start it: ") + error);
    }
}

// The fade: full volume down to silence over the span's last frames, a straight line;
// `count` frames from the frame `first` on.
void Renderer::fade(std::int16_t* frames, std::uint64_t first, std::size_t count) const
{
    const std::uint64_t from = span_.frames - span_.fadeFrames;
    const std::size_t begin = first >= from ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(count, from - first));
    const double left = static_cast<double>(span_.frames - first), scale = 1.0 / static_cast<double>(span_.fadeFrames);
    if (channels_ == 1) {
        for (std::size_t i = begin; i < count; ++i)
            frames[i] = static_cast<std::int16_t>(frames[i] * ((left - static_cast<double>(i)) * scale));
        return;
    }
    for (std::size_t i = begin; i < count; ++i) {
        const double gain = (left - static_cast<double>(i)) * scale;
        frames[2 * i] = static_cast<std::int16_t>(frames[2 * i] * gain);
        frames[2 * i + 1] = static_cast<std::int16_t>(frames[2 * i + 1] * gain);
    }
}

Renderer::~Renderer()
{
    gme_delete(emu_);
}

std::size_t Renderer::render(std::int16_t* out, std::size_t count)
{
    // A span set late, once the tune has played past it, is over.
    count = position_ >= span_.frames ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(count, span_.frames - position_));
    std::size_t made = 0;
    while (made < count) {
        const std::size_t frames = std::min(kBlock, count - made);
        if (gme_err_t error = gme_play(emu_, static_cast<int>(frames * 2), stereo_.get()))
            throw AudioError(std::string("libgme reports an emulation error: ") + error);
        if (const char* warning = gme_warning(emu_))
            throw AudioError(std::string("libgme reports an emulation error: ") + warning);
        std::int16_t* to = out + made * static_cast<std::size_t>(channels_);
        if (channels_ == 2)
            std::memcpy(to, stereo_.get(), frames * 2 * sizeof(std::int16_t));
        else
            for (std::size_t i = 0; i < frames; ++i)
                to[i] = stereo_[2 * i];
        fade(to, position_ + made, frames);
        made += frames;
    }
    position_ += made;
    return made;
}

} // namespace orvex::audio
