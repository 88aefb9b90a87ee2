#include "encode.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <vector>

namespace orvex::audio {

namespace {

// The file being made, in memory: libsndfile writes it through these calls, and goes
// back to its start to complete a header.
struct MemoryFile {
    std::string bytes;
    sf_count_t at = 0;
};

sf_count_t fileLength(void* data)
{
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(data)->bytes.size());
}

sf_count_t seek(sf_count_t offset, int whence, void* data)
{
    auto& file = *static_cast<MemoryFile*>(data);
    const sf_count_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.at : static_cast<sf_count_t>(file.bytes.size());
    if (from + offset < 0)
        return -1;
    file.at = from + offset;
    return file.at;
}

sf_count_t read(void* to, sf_count_t count, void* data)
{
    auto& file = *static_cast<MemoryFile*>(data);
    const auto size = static_cast<sf_count_t>(file.bytes.size());
    const sf_count_t n = std::clamp<sf_count_t>(size - file.at, 0, count);
    std::memcpy(to, file.bytes.data() + file.at, static_cast<std::size_t>(n));
    file.at += n;
    return n;
}

sf_count_t write(const void* from, sf_count_t count, void* data)
{
    auto& file = *static_cast<MemoryFile*>(data);
    const auto end = static_cast<std::size_t>(file.at + count);
    if (end > file.bytes.size())
        file.bytes.resize(end);
    std::memcpy(file.bytes.data() + file.at, from, static_cast<std::size_t>(count));
    file.at += count;
    return count;
}

sf_count_t tell(void* data)
{
    return static_cast<MemoryFile*>(data)->at;
}

int sndfileFormat(Format format)
{
    switch (format) {
    case Format::Wav: return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case Format::Flac: return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case Format::Ogg: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case Format::Opus: return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case Format::Mp3: return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    }
    return 0;
}

// Closes the file when the encoding ends, however it ends
struct Closer {
    SNDFILE* file;
    ~Closer()
    {
        if (file)
            sf_close(file);
    }
};

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
    SF_VIRTUAL_IO io{fileLength, seek, read, write, tell};
    MemoryFile memory;
    SF_INFO info{};
    info.samplerate = renderer.rate();
    info.channels = renderer.channels();
    info.format = sndfileFormat(format);
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &memory);
    if (!file)
        throw AudioError(std::string("libsndfile cannot make it: ") + sf_strerror(nullptr));
    Closer closer{file};
    const std::pair<int, const std::string*> strings[] = {
        {SF_STR_TITLE, &tags.title}, {SF_STR_ARTIST, &tags.artist}, {SF_STR_DATE, &tags.date}};
    for (const auto& [kind, text] : strings) {
        if (!text->empty() && sf_set_string(file, kind, text->c_str()) != 0)
            throw AudioError(std::string("libsndfile cannot tag it: ") + sf_strerror(file));
    }
    std::vector<std::int16_t> block(4096 * static_cast<std::size_t>(renderer.channels()));
    while (const std::size_t frames = renderer.render(block.data(), 4096)) {
        if (sf_writef_short(file, block.data(), static_cast<sf_count_t>(frames)) != static_cast<sf_count_t>(frames))
            throw AudioError(std::string("libsndfile cannot encode it: ") + sf_strerror(file));
    }
    closer.file = nullptr;
    if (const int error = sf_close(file))
        throw AudioError(std::string("libsndfile cannot finish it: ") + sf_error_number(error));
    return std::move(memory.bytes);
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
