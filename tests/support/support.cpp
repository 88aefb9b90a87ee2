#include "support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace support {

Bytes hex(std::string_view pairs)
{
    Bytes out;
    for (std::size_t i = 0; i + 1 < pairs.size(); i += pairs[i] == ' ' ? 1 : 2)
        if (pairs[i] != ' ')
            out.push_back(static_cast<std::uint8_t>(std::stoul(std::string(pairs.substr(i, 2)), nullptr, 16)));
    return out;
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count)
{
    from = std::min(from, bytes.size());
    return Bytes(bytes.begin() + static_cast<long>(from),
                 bytes.begin() + static_cast<long>(from + std::min(count, bytes.size() - from)));
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::map<std::string, std::string> listing(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const auto status = entry.symlink_status();
        entries[entry.path().lexically_relative(folder).string()]
            = is_symlink(status)      ? "link to " + read_symlink(entry.path()).string()
              : is_directory(status)    ? "folder"
              : is_regular_file(status) ? std::to_string(int(status.permissions())) + " " + textOf(readFile(entry.path()))
                                        : "special file";
    }
    return entries;
}

Bytes atariFile(std::uint16_t start, const Bytes& data)
{
    const unsigned end = start + data.size() - 1;
    return Bytes{0xFF, 0xFF, static_cast<std::uint8_t>(start), static_cast<std::uint8_t>(start >> 8),
                 static_cast<std::uint8_t>(end), static_cast<std::uint8_t>(end >> 8)}
           + data;
}

Bytes module(std::uint16_t start, std::size_t length, std::uint8_t speed)
{
    Bytes data(length - 6);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(0x11 + 3 * i);
    if (data.size() > 31)
        data[31] = speed;
    return atariFile(start, data);
}

Bytes player(std::size_t length, std::uint16_t start)
{
    Bytes code(length);
    for (std::size_t i = 0; i < length; ++i)
        code[i] = static_cast<std::uint8_t>(0x40 + 7 * i);
    return atariFile(start, code);
}

Bytes d15(std::uint8_t page, std::size_t length)
{
    Bytes bytes(length, 0x77);
    bytes[0] = page;
    return bytes;
}

std::string header(const std::string& author, const std::string& name, const std::string& date, char type)
{
    return "SAP\r\nAUTHOR  '" + author + "'\r\nNAME  '" + name + "'\r\nDATE  '" + date + "'\r\nTYPE " + type
           + "\r\nSONGS 1\r\n";
}

Bench::Bench()
    : players(dir / "players"), state(std::make_unique<orvex::ConversionState>()), converter(*state, window, players)
{
    std::filesystem::create_directory(players);
}

std::string Bench::put(const std::string& name, const Bytes& bytes)
{
    const std::string path = dir / name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    writeFile(path, bytes);
    return path;
}

void Bench::load(std::optional<std::string> module, std::optional<std::string> samples)
{
    window.moduleAnswer = std::move(module);
    window.sampleAnswer = std::move(samples);
    converter.LoadAtariMSX();
}

void Bench::putPlayers()
{
    putPlayer("cmc_0500.plr", player(300));
    putPlayer("mpt_0500.plr", player(400));
    putPlayer("tmc_0500.plr", player(500));
}

std::string Bench::saveAs(const std::string& name)
{
    window.saveAnswer = dir / name;
    converter.SaveSAPfileas();
    return *window.saveAnswer;
}

Bytes Bench::convert(const std::string& moduleName, const Bytes& module, const std::optional<Bytes>& samples)
{
    load(put(moduleName, module), samples ? std::optional(put(moduleName + ".d15", *samples)) : std::nullopt);
    const std::string path = saveAs(moduleName + ".sap");
    if (!window.errors.empty())
        throw std::runtime_error(window.errors.front());
    return readFile(path);
}

Outcome run(const std::vector<std::string>& argv)
{
    TempDir scratch;
    const std::string out = scratch / "out", err = scratch / "err";
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
    Outcome result;
    pid_t pid;
    int status = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0 && ::waitpid(pid, &status, 0) == pid)
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    posix_spawn_file_actions_destroy(&actions);
    result.out = textOf(readFile(out));
    result.err = textOf(readFile(err));
    return result;
}

double toneFrequency(const std::vector<double>& samples, int rate)
{
    double mean = 0;
    for (const double s : samples)
        mean += s / static_cast<double>(samples.size());
    double first = -1, last = -1;
    int rises = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const double a = samples[i - 1] - mean, b = samples[i] - mean;
        if (a < 0 && b >= 0) {
            last = static_cast<double>(i - 1) + a / (a - b);
            first = first < 0 ? last : first;
            ++rises;
        }
    }
    return rises < 2 ? 0 : (rises - 1) * rate / (last - first);
}

} // namespace support
