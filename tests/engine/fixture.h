#pragma once
// A conversion with its own state, a window made of plain data and a private folder
// for modules, players and SAP files.

#include "conversion.h"
#include "files.h"
#include "plain_window.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace engine_tests {

using testing_support::Bytes;

class ConversionTest : public ::testing::Test {
protected:
    ConversionTest();

    // Writes a file into the test folder; returns its path.
    std::string put(const std::string& name, const Bytes& bytes);
    void putPlayer(const char* fileName, const Bytes& bytes);

    // "Load Atari MSX" with the dialogs answering these files (no samples: cancelled).
    void load(std::optional<std::string> modulePath, std::optional<std::string> samplePath = std::nullopt);
    // "Save SAP file as..." to a file of the test folder; returns its path.
    std::string saveAs(const std::string& name);

    // The expected start of a SAP file up to and including the SONGS line.
    static std::string header(const std::string& author, const std::string& name, const std::string& date,
                              char type);

    testing_support::TempDir dir;
    std::string players;
    std::unique_ptr<orvex::ConversionState> state;
    orvex::PlainWindow window;
    orvex::Converter converter;
};

Bytes operator+(Bytes a, const Bytes& b);
Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count = std::string::npos);

} // namespace engine_tests
