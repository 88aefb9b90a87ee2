// The encoders, through libsndfile: built as a module of its own that the program loads
// the first time it makes an audio file (encode.cpp), so that runs without audio files
// neither load libsndfile and its codecs nor give them memory.

#include "sndfile_encoder.h"

#include "encode.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

// The file being made, in memory: libsndfile writes it through these calls, and goes
// back to its start to complete a header. Short of memory, a write writes nothing and
// `outOfMemory` is set: no exception may cross libsndfile.
struct MemoryFile {
    std::string bytes;
    sf_count_t at = 0;
    bool outOfMemory = false;
};

MemoryFile& fileOf(void* data)
{
    return *static_cast<MemoryFile*>(data);
}

sf_count_t fileLength(void* data)
{
    return static_cast<sf_count_t>(fileOf(data).bytes.size());
}

sf_count_t seek(sf_count_t offset, int whence, void* data)
{
    MemoryFile& file = fileOf(data);
    const sf_count_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.at : static_cast<sf_count_t>(file.bytes.size());
    if (from + offset < 0)
        return -1;
    return file.at = from + offset;
}

sf_count_t read(void* to, sf_count_t count, void* data)
{
    MemoryFile& file = fileOf(data);
    const sf_count_t n = std::clamp<sf_count_t>(static_cast<sf_count_t>(file.bytes.size()) - file.at, 0, count);
    std::memcpy(to, file.bytes.data() + file.at, static_cast<std::size_t>(n));
    file.at += n;
    return n;
}

sf_count_t write(const void* from, sf_count_t count, void* data)
{
    MemoryFile& file = fileOf(data);
    try {
        const auto end = static_cast<std::size_t>(file.at + count);
        if (end > file.bytes.size())
            file.bytes.resize(end);
    } catch (const std::bad_alloc&) {
        file.outOfMemory = true;
        return 0;
    }
    std::memcpy(file.bytes.data() + file.at, from, static_cast<std::size_t>(count));
    file.at += count;
    return count;
}

sf_count_t tell(void* data)
{
    return fileOf(data).at;
}

int sndfileFormat(orvex::audio::Format format)
{
    using enum orvex::audio::Format;
    switch (format) {
    case Wav: return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case Flac: return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case Ogg: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case Opus: return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case Mp3: return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
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

// Encodes into `memory`; "" or why libsndfile cannot.
std::string encodeInto(const EncoderInput& input, MemoryFile& memory)
{
    SF_VIRTUAL_IO io{fileLength, seek, read, write, tell};
    SF_INFO info{};
    info.samplerate = input.rate;
    info.channels = input.channels;
    info.format = sndfileFormat(static_cast<orvex::audio::Format>(input.format));
    Closer file{sf_open_virtual(&io, SFM_WRITE, &info, &memory)};
    if (!file.file)
        return std::string("libsndfile cannot make it: ") + sf_strerror(nullptr);
    // FLAC at its fastest level: lossless all the same, its files some 1% larger than at
    // the default level, made with a third less time.
    double fastest = 0;
    if (input.format == static_cast<int>(orvex::audio::Format::Flac)
        && sf_command(file.file, SFC_SET_COMPRESSION_LEVEL, &fastest, sizeof fastest) != SF_TRUE)
        return std::string("libsndfile cannot set FLAC's level: ") + sf_strerror(file.file);
    const int kinds[] = {SF_STR_TITLE, SF_STR_ARTIST, SF_STR_DATE};
    for (int t = 0; t < 3; ++t) {
        if (*input.tags[t] && sf_set_string(file.file, kinds[t], input.tags[t]) != 0)
            return std::string("libsndfile cannot tag it: ") + sf_strerror(file.file);
    }
    std::vector<std::int16_t> block(4096 * static_cast<std::size_t>(input.channels));
    while (const std::size_t frames = input.fill(input.source, block.data(), 4096)) {
        if (sf_writef_short(file.file, block.data(), static_cast<sf_count_t>(frames)) != static_cast<sf_count_t>(frames))
            return std::string("libsndfile cannot encode it: ") + sf_strerror(file.file);
    }
    SNDFILE* closing = file.file;
    file.file = nullptr;
    if (const int error = sf_close(closing))
        return std::string("libsndfile cannot finish it: ") + sf_error_number(error);
    return "";
}

} // namespace

extern "C" bool orvexEncode(const EncoderInput& input, std::string* bytes, std::string* error)
{
    MemoryFile memory;
    *error = encodeInto(input, memory);
    if (memory.outOfMemory)
        throw std::bad_alloc();
    *bytes = std::move(memory.bytes);
    return error->empty();
}
