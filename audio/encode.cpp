#include "encode.h"

#include "modules.h"
#include "sndfile_encoder.h"

#include <strings.h>

#include <cstring>

namespace orvex::audio {

namespace {

// The module of encoders, loaded once, the first time a thread needs it
Encoder encoder()
{
    const ModuleEntry& loaded = moduleEntry(kEncoderModule, "orvexEncode");
    if (!loaded.entry)
        throw AudioError("cannot load the encoders: " + loaded.error);
    return reinterpret_cast<Encoder>(loaded.entry);
}

std::size_t fill(void* renderer, std::int16_t* out, std::size_t frames)
{
    return static_cast<Renderer*>(renderer)->render(out, frames);
}

} // namespace

const FormatInfo& formatInfo(Format format)
{
    return kFormats[static_cast<std::size_t>(format)];
}

std::optional<Format> formatNamed(std::string_view name)
{
    for (const FormatInfo& info : kFormats) {
        if (name.size() == std::strlen(info.name) && ::strncasecmp(name.data(), info.name, name.size()) == 0)
            return info.format;
    }
    return std::nullopt;
}

std::string encode(Format format, Renderer& renderer, const Tags& tags)
{
    const EncoderInput input{static_cast<int>(format), renderer.rate(), renderer.channels(),
                             {tags.title.c_str(), tags.artist.c_str(), tags.date.c_str()}, fill, &renderer};
    std::string bytes, error;
    if (!encoder()(input, &bytes, &error))
        throw AudioError(error);
    return bytes;
}

AudioFile makeAudio(std::string_view sapFile, const sap::TuneLength& length, Format format, const LengthRule& rule,
                    const Tags& tags)
{
    const int rate = formatInfo(format).rate;
    const AudioLength audio = audioLength(length, rule, rate);
    Renderer renderer(sapFile, rate);
    renderer.setSpan(audio.span);
    return {encode(format, renderer, tags), audio.guessed};
}

} // namespace orvex::audio
