#pragma once
// How the main window's saves write a SAP file: at once, through a SafeFile, as the
// engine's own writer does; with "TIME at save", the tune's length found by running it
// is first added as the header's last line, as orvex-convert --time adds it.

#include "conversion.h"
#include "tune_length.h"

#include <string>
#include <vector>

namespace orvex::ui {

// How long a save follows a tune to find its length, as orvex-convert does unless told
// otherwise
inline constexpr double kTimeSearchSeconds = sap::kTimeLimitMinutes * 60;

// Adds the TIME line to the header; returns "" or why there is none (a clause).
std::string addTimeLine(SapFile& sap);

class TimedWriter final : public SapWriter {
public:
    void write(SapFile& sap, const std::string& target, const std::vector<InputFile>& inputs) override;
    std::string untimed;  // the last file's missing TIME: why, or ""
};

} // namespace orvex::ui
