#include "conversion.h"

namespace orvex {

ConversionState& processState()
{
    static ConversionState state;
    return state;
}

const std::array<FormatRow, kFormatCount> FormatTable{{
    {"cmc", &Converter::SaveCMC, 'C', false},
    {"mpt", &Converter::SaveMPT, 'B', false},
    {"md1", &Converter::SaveMD1, 'D', false},
    {"tmc", &Converter::SaveTMC, 'B', false},
    {"tm8", &Converter::SaveTMC, 'B', true},
    {"com", &Converter::SaveCOM, 'B', false},
}};

Converter::Converter(ConversionState& state, MainWindowLink& link, std::vector<std::string> playerFolders)
    : state_(state), window(link), playerFolders_(std::move(playerFolders))
{
}

bool Converter::AppendFile(const std::string& path, std::size_t skip, const char* role)
{
    const InputRead read = readInput(role, path, skip, state_.ModuleImage.data() + state_.imageEnd, kImageSize - state_.imageEnd);
    state_.inputs.push_back(read.identity);
    state_.imageEnd += read.count;
    return !read.cut;
}

} // namespace orvex
