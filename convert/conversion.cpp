#include "conversion.h"

namespace orvex {

ConversionState& processState()
{
    static ConversionState state;
    return state;
}

const std::array<FormatRow, kFormatCount> FormatTable{{
    {"cmc", &Converter::SaveCMC, 'C'},
    {"mpt", &Converter::SaveMPT, 'B'},
    {"md1", &Converter::SaveMD1, 'D'},
    {"tmc", &Converter::SaveTMC, 'B'},
    {"tm8", &Converter::SaveTMC, 'B'},
    {"com", &Converter::SaveCOM, 'B'},
}};

Converter::Converter(ConversionState& state, MainWindowLink& link, std::vector<std::string> playerFolders)
    : s(state), window(link), playerFolders_(std::move(playerFolders))
{
}

bool Converter::AppendFile(const std::string& path, std::size_t skip, const char* role)
{
    const InputRead read = readInput(role, path, skip, s.ModuleImage.data() + s.imageEnd, kImageSize - s.imageEnd);
    s.inputs.push_back(read.identity);
    s.imageEnd += read.count;
    return !read.cut;
}

} // namespace orvex
