#include "fixture.h"

#include <filesystem>

namespace engine_tests {

ConversionTest::ConversionTest()
    : players(dir / "players"),
      state(std::make_unique<orvex::ConversionState>()),
      converter(*state, window, players)
{
    std::filesystem::create_directory(players);
}

std::string ConversionTest::put(const std::string& name, const Bytes& bytes)
{
    const std::string path = dir / name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    testing_support::writeFile(path, bytes);
    return path;
}

void ConversionTest::putPlayer(const char* fileName, const Bytes& bytes)
{
    testing_support::writeFile(players + "/" + fileName, bytes);
}

void ConversionTest::load(std::optional<std::string> modulePath, std::optional<std::string> samplePath)
{
    window.moduleAnswer = std::move(modulePath);
    window.sampleAnswer = std::move(samplePath);
    converter.LoadAtariMSX();
}

std::string ConversionTest::saveAs(const std::string& name)
{
    window.saveAnswer = dir / name;
    converter.SaveSAPfileas();
    return *window.saveAnswer;
}

std::string ConversionTest::header(const std::string& author, const std::string& name, const std::string& date,
                                   char type)
{
    return "SAP\r\nAUTHOR  '" + author + "'\r\nNAME  '" + name + "'\r\nDATE  '" + date + "'\r\nTYPE " + type
           + "\r\nSONGS 1\r\n";
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count)
{
    const std::size_t end = count == std::string::npos ? bytes.size() : std::min(bytes.size(), from + count);
    return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(end));
}

} // namespace engine_tests
