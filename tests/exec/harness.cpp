#include "harness.h"

#include "conversion.h"
#include "plain_window.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace exec {

namespace fs = std::filesystem;

Bytes probeAssembledAt0500() { return readFile(fs::path(EXEC_PROGRAM_DIR) / "probe_0500.bin"); }
Bytes probeAssembledAtF500() { return readFile(fs::path(EXEC_PROGRAM_DIR) / "probe_F500.bin"); }
Bytes comTune() { return readFile(fs::path(EXEC_PROGRAM_DIR) / "com_tune.bin"); }

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "$%04X", value & 0xFFFF);
    return text;
}

Bytes atariBinary(std::uint16_t start, const Bytes& data)
{
    const auto end = static_cast<std::uint16_t>(start + data.size() - 1);
    Bytes file(6 + data.size());
    file[0] = 0xFF;
    file[1] = 0xFF;
    file[2] = static_cast<std::uint8_t>(start);
    file[3] = static_cast<std::uint8_t>(start >> 8);
    file[4] = static_cast<std::uint8_t>(end);
    file[5] = static_cast<std::uint8_t>(end >> 8);
    std::copy(data.begin(), data.end(), file.begin() + 6);
    return file;
}

Bytes moduleFile(std::uint16_t start, std::size_t count, std::uint8_t speed)
{
    Bytes data(count);
    for (std::size_t i = 0; i < count; ++i)
        data[i] = static_cast<std::uint8_t>(0x40 + i * 7);
    Bytes file = atariBinary(start, data);
    file.at(37) = speed;
    return file;
}

Bytes sampleFile(std::uint8_t page, std::size_t length)
{
    Bytes file(length);
    for (std::size_t i = 0; i < length; ++i)
        file[i] = static_cast<std::uint8_t>(0x80 + i * 3);
    file.at(0) = page;
    return file;
}

Workspace::Workspace()
{
    fs::create_directory(players());
    const Bytes player = atariBinary(0x0500, probeAssembledAt0500());
    for (const char* name : {orvex::kCmcPlayerFile, orvex::kMptPlayerFile, orvex::kTmcPlayerFile})
        writeFile(players() / name, player);
}

Bytes Workspace::convert(const std::string& moduleName, const Bytes& module, const std::optional<Bytes>& samples)
{
    writeFile(path(moduleName), module);
    auto state = std::make_unique<orvex::ConversionState>();
    orvex::PlainWindow window;
    orvex::Converter converter(*state, window, players().string());

    window.moduleAnswer = path(moduleName).string();
    if (samples) {
        writeFile(path("samples.d15"), *samples);
        window.sampleAnswer = path("samples.d15").string();
    }
    converter.LoadAtariMSX();
    const fs::path sapPath = path(moduleName + ".sap");
    window.saveAnswer = sapPath.string();
    window.name = "Probe";
    converter.SaveSAPfileas();

    for (const std::string& message : window.errors)
        ADD_FAILURE() << "the engine reports: " << message;
    EXPECT_EQ(window.adrConflicts, 0) << "the test's module and samples are meant not to overlap";
    EXPECT_EQ(state->moduleLoaded, 0) << "the save did not complete";
    return fs::exists(sapPath) ? readFile(sapPath) : Bytes();
}

void PrintTo(const Call& call, std::ostream* out)
{
    char text[48];
    std::snprintf(text, sizeof text, "{+%u A=%02X X=%02X Y=%02X}", call.entry, call.a, call.x, call.y);
    *out << text;
}

std::vector<int> entriesOf(const std::vector<Call>& calls)
{
    std::vector<int> entries;
    for (const Call& call : calls)
        entries.push_back(call.entry);
    return entries;
}

void Machine::load(const Bytes& sapFile)
{
    sap = loadSap(sapFile, cpu);
    cpu.watch(0x00);
}

void Machine::start()
{
    switch (sap.type) {
    case 'B':
    case 'D':
        if (!sap.init)
            throw SapLoadError(std::string("TYPE ") + sap.type + " without an INIT line");
        cpu.a = 0;
        cpu.x = 0xA5;  // what the generated code must not rely on
        cpu.y = 0x5A;
        cpu.call(*sap.init);
        break;
    case 'C':
        if (!sap.player || !sap.music)
            throw SapLoadError("TYPE C without PLAYER and MUSIC lines");
        cpu.a = 0x70;
        cpu.x = static_cast<std::uint8_t>(*sap.music);
        cpu.y = static_cast<std::uint8_t>(*sap.music >> 8);
        cpu.call(static_cast<std::uint16_t>(*sap.player + 3));
        cpu.a = 0;
        cpu.x = 0;
        cpu.call(static_cast<std::uint16_t>(*sap.player + 3));
        break;
    default:
        throw SapLoadError(std::string("unexpected TYPE ") + sap.type);
    }
}

void Machine::play()
{
    if (!sap.player)
        throw SapLoadError("no PLAYER line");
    cpu.call(static_cast<std::uint16_t>(*sap.player + (sap.type == 'C' ? 6 : 0)));
}

std::vector<Call> Machine::log() const { return probeLog(cpu); }

std::vector<Call> probeLog(const Cpu6502& cpu)
{
    const std::size_t count = cpu.peek(kLogCount);
    if (count > kLogRoom)
        throw std::runtime_error("the log holds more calls than it has room for");
    std::vector<Call> calls;
    for (std::size_t i = 0; i < count; ++i) {
        const auto at = static_cast<std::uint16_t>(i);
        calls.push_back({cpu.peek(kLogEntry + at), cpu.peek(kLogA + at), cpu.peek(kLogX + at), cpu.peek(kLogY + at)});
    }
    return calls;
}

std::vector<Call> Machine::takeNewCalls()
{
    std::vector<Call> calls = log();
    calls.erase(calls.begin(), calls.begin() + static_cast<long>(taken_));
    taken_ += calls.size();
    return calls;
}

::testing::AssertionResult runs(const std::function<void()>& what)
{
    try {
        what();
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << e.what();
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult segmentsApart(const SapFile& sap)
{
    for (std::size_t i = 0; i < sap.segments.size(); ++i) {
        for (std::size_t j = i + 1; j < sap.segments.size(); ++j) {
            const SapSegment& a = sap.segments[i];
            const SapSegment& b = sap.segments[j];
            if (a.start <= b.end && b.start <= a.end)
                return ::testing::AssertionFailure() << "segments " << hex4(a.start) << "-" << hex4(a.end) << " and "
                                                     << hex4(b.start) << "-" << hex4(b.end) << " overlap";
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult holds(const Cpu6502& cpu, std::uint16_t address, const Bytes& bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto at = static_cast<std::uint16_t>(address + i);
        if (!cpu.loaded(at) || cpu.peek(at) != bytes[i])
            return ::testing::AssertionFailure() << "memory at " << hex4(at) << " does not hold byte " << i << " of "
                                                 << bytes.size() << " expected from " << hex4(address);
    }
    return ::testing::AssertionSuccess();
}

} // namespace exec
