// File > "Load Atari MSX": reads a module into the image and, for an .MD1 module,
// appends its digi samples as one more segment.

#include "conversion.h"
#include "paths.h"
#include "segments.h"

#include <cstring>
#include <filesystem>

namespace orvex {

void Converter::LoadAtariMSX()
{
    if (!window.runModuleDialog())
        return;

    const std::string path = window.moduleFileName();
    state_.moduleLoaded = 1;
    state_.imageEnd = 0;
    state_.sourcePath = path;
    state_.samplesFromThisLoad = false;
    state_.inputs.clear();
    try {
        state_.moduleComplete = AppendFile(path, 0, "module file");
        state_.moduleBytes = state_.imageEnd;
        requireAtariBinary(path);
    } catch (const ConversionError& e) {
        // Nothing is loaded: the save commands do nothing until the next load.
        state_.moduleLoaded = 0;
        state_.imageEnd = 0;
        state_.moduleBytes = 0;
        state_.moduleComplete = false;
        window.showError(e.what());
        return;
    }

    // "InfoCLR at load": a new tune starts with empty boxes.
    if (window.infoClearChecked()) {
        window.setNameText("");
        window.setAuthorText("");
        window.setDateText("");
    }

    // The length as read; of a file cut at the buffer's end, as the file system says.
    if (state_.moduleComplete) {
        state_.sizeText = std::to_string(state_.moduleBytes);
    } else {
        std::error_code error;
        const auto length = std::filesystem::file_size(path, error);
        state_.sizeText = !error && length > kImageSize ? std::to_string(length) : "more than " + std::to_string(kImageSize);
    }
    state_.formatText = extensionOf(path);

    window.setSizeValue(state_.sizeText);
    window.setFormatValue(state_.formatText.empty() ? "none" : state_.formatText);
    window.setSapValue("n/o");

    if (equalsIgnoringCase(state_.formatText, "MD1") && !attachSamples())
        return;

    window.enableInfoFields();
}

// Every module is an Atari binary load file: it begins with FF FF. A .COM module, whose
// bytes become the SAP file's image as they are, is also a chain of segments to its end.
void Converter::requireAtariBinary(const std::string& path) const
{
    const std::string_view bytes(reinterpret_cast<const char*>(state_.ModuleImage.data()), state_.moduleBytes);
    const std::string notBinary = "The module file " + quoted(path) + " is not an Atari binary file";
    if (!ffffAt(bytes, 0))
        throw ConversionError(notBinary + ": it does not begin with the bytes FF FF.");
    if (!equalsIgnoringCase(extensionOf(path), "com") || !state_.moduleComplete)
        return;  // the save refuses a module larger than the buffer
    const Segments segments = readSegments(bytes, 0);
    const std::string segment = "its segment at byte " + std::to_string(segments.at) + " ("
                                + atariAddress(segments.start) + "-" + atariAddress(segments.end) + ")";
    switch (segments.problem) {
    case Segments::Problem::None: return;
    case Segments::Problem::HeaderCut:
        throw ConversionError(notBinary + ": its segment header at byte " + std::to_string(segments.at) + " is cut short.");
    case Segments::Problem::EndsBeforeStart: throw ConversionError(notBinary + ": " + segment + " ends before it starts.");
    case Segments::Problem::RunsPastEnd: throw ConversionError(notBinary + ": " + segment + " runs past the file's end.");
    }
}

// Appends the .D15 file as a segment loaded from 256 * P - 32, P being its first byte.
// Returns false when the dialog was cancelled or the samples could not be attached.
bool Converter::attachSamples()
{
    window.setSampleDialogFolder(folderOf(window.moduleFileName()));
    if (!window.runSampleDialog())
        return false;

    const std::string path = window.sampleFileName();
    const std::size_t moduleEnd = state_.imageEnd;
    SamplePages pages{};
    try {
        pages = appendSampleSegment(path);
    } catch (const ConversionError& e) {
        state_.imageEnd = moduleEnd;
        window.showError(e.what());
        return false;
    }

    // The samples' pages must not overlap those of the module's first segment.
    if (state_.moduleBytes >= 6 && pages.first <= state_.ModuleImage[5] && pages.last >= state_.ModuleImage[3])
        window.showAdrConflict();
    return true;
}

// The segment runs from 256 * P - 32 to the end of the page that holds the last byte; a
// file of another length than 32 + 256 * m is padded with zeros.
Converter::SamplePages Converter::appendSampleSegment(const std::string& path)
{
    if (kImageSize - state_.imageEnd < 4)
        throw ConversionError("There is no room for the digi samples " + quoted(path)
                              + ": their segment header needs 4 bytes and the module leaves "
                              + std::to_string(kImageSize - state_.imageEnd) + " of " + imageBufferName() + ".");
    const std::size_t header = state_.imageEnd;
    state_.imageEnd += 4;
    state_.sourcePath = path;
    const bool complete = AppendFile(path, 0, "digi-sample file");

    const std::size_t count = state_.imageEnd - header - 4;
    if (count == 0)
        throw ConversionError("The digi-sample file " + quoted(path)
                              + " is empty: its first byte must give the page of the samples.");
    if (!complete)
        throw ConversionError("The digi-sample file " + quoted(path) + " does not fit in " + imageBufferName()
                              + " behind the module.");

    const unsigned page = state_.ModuleImage[header + 4];
    const long pagesAfter = count < 33 ? -1 : static_cast<long>((count - 33) / 256);
    const SamplePages pages{static_cast<std::uint8_t>(page - 1), static_cast<std::uint8_t>(page + pagesAfter)};
    const std::size_t declared = count < 33 ? 32 : 32 + 256 * (static_cast<std::size_t>(pagesAfter) + 1);
    const unsigned start = pages.first * 256u + 0xE0;
    if (start + declared - 1 > 0xFFFF)
        throw ConversionError("The digi samples " + quoted(path) + " (" + std::to_string(count) + " bytes from "
                              + atariAddress(start) + ") would run past the end of Atari memory at $FFFF.");
    const std::size_t padding = declared - count;
    if (padding > kImageSize - state_.imageEnd)
        throw ConversionError("The digi-sample file " + quoted(path) + " does not fit in " + imageBufferName()
                              + " behind the module.");
    std::memset(state_.ModuleImage.data() + state_.imageEnd, 0, padding);
    state_.imageEnd += padding;

    state_.ModuleImage[header + 0] = 0xE0;
    state_.ModuleImage[header + 1] = pages.first;
    state_.ModuleImage[header + 2] = 0xFF;
    state_.ModuleImage[header + 3] = pages.last;
    state_.sampleSegment = header;
    state_.samplesFromThisLoad = true;
    return pages;
}

} // namespace orvex
