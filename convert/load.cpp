// File > "Load Atari MSX": reads a module into the image and, for an .MD1 module,
// appends its digi samples as one more segment.

#include "conversion.h"
#include "paths.h"

#include <cstring>
#include <filesystem>

namespace orvex {

void Converter::LoadAtariMSX()
{
    if (!window.runModuleDialog())
        return;

    const std::string path = window.moduleFileName();
    s.moduleLoaded = 1;
    s.imageEnd = 0;
    s.sourcePath = path;
    s.samplesFromThisLoad = false;
    s.inputs.clear();
    bool complete = false;
    try {
        complete = AppendFile(path, 0, "module file");
    } catch (const ConversionError& e) {
        // Nothing is loaded: the save commands do nothing until the next load.
        s.moduleLoaded = 0;
        s.imageEnd = 0;
        s.moduleBytes = 0;
        s.moduleComplete = false;
        window.showError(e.what());
        return;
    }
    s.moduleBytes = s.imageEnd;

    // "InfoCLR at load": a new tune starts with empty boxes.
    if (window.infoClearChecked()) {
        window.setNameText("");
        window.setAuthorText("");
        window.setDateText("");
    }

    // The length as read; of a file cut at the buffer's end, as the file system says.
    s.moduleComplete = complete;
    if (s.moduleComplete) {
        s.sizeText = std::to_string(s.moduleBytes);
    } else {
        std::error_code error;
        const auto length = std::filesystem::file_size(path, error);
        s.sizeText = !error && length > kImageSize ? std::to_string(length) : "more than " + std::to_string(kImageSize);
    }
    s.formatText = extensionOf(path);

    window.setSizeValue(s.sizeText);
    window.setFormatValue(s.formatText.empty() ? "none" : s.formatText);
    window.setSapValue("n/o");

    if (equalsIgnoringCase(s.formatText, "MD1") && !attachSamples())
        return;

    window.enableInfoFields();
}

// Appends the .D15 file as a segment loaded from 256 * P - 32, P being its first byte.
// Returns false when the dialog was cancelled or the samples could not be attached.
bool Converter::attachSamples()
{
    window.setSampleDialogFolder(folderOf(window.moduleFileName()));
    if (!window.runSampleDialog())
        return false;

    const std::string path = window.sampleFileName();
    const std::size_t moduleEnd = s.imageEnd;
    SamplePages pages{};
    try {
        pages = appendSampleSegment(path);
    } catch (const ConversionError& e) {
        s.imageEnd = moduleEnd;
        window.showError(e.what());
        return false;
    }

    // The samples' pages must not overlap those of the module's first segment.
    if (s.moduleBytes >= 6 && pages.first <= s.ModuleImage[5] && pages.last >= s.ModuleImage[3])
        window.showAdrConflict();
    return true;
}

// The segment runs from 256 * P - 32 to the end of the page that holds the last byte; a
// file of another length than 32 + 256 * m is padded with zeros.
Converter::SamplePages Converter::appendSampleSegment(const std::string& path)
{
    if (kImageSize - s.imageEnd < 4)
        throw ConversionError("There is no room for the digi samples " + quoted(path)
                              + ": their segment header needs 4 bytes and the module leaves "
                              + std::to_string(kImageSize - s.imageEnd) + " of " + imageBufferName() + ".");
    const std::size_t header = s.imageEnd;
    s.imageEnd += 4;
    s.sourcePath = path;
    const bool complete = AppendFile(path, 0, "digi-sample file");

    const std::size_t count = s.imageEnd - header - 4;
    if (count == 0)
        throw ConversionError("The digi-sample file " + quoted(path)
                              + " is empty: its first byte must give the page of the samples.");
    if (!complete)
        throw ConversionError("The digi-sample file " + quoted(path) + " does not fit in " + imageBufferName()
                              + " behind the module.");

    const unsigned page = s.ModuleImage[header + 4];
    const long pagesAfter = count < 33 ? -1 : static_cast<long>((count - 33) / 256);
    const SamplePages pages{static_cast<std::uint8_t>(page - 1), static_cast<std::uint8_t>(page + pagesAfter)};
    const std::size_t declared = count < 33 ? 32 : 32 + 256 * (static_cast<std::size_t>(pagesAfter) + 1);
    const unsigned start = pages.first * 256u + 0xE0;
    if (start + declared - 1 > 0xFFFF)
        throw ConversionError("The digi samples " + quoted(path) + " (" + std::to_string(count) + " bytes from "
                              + atariAddress(start) + ") would run past the end of Atari memory at $FFFF.");
    const std::size_t padding = declared - count;
    if (padding > kImageSize - s.imageEnd)
        throw ConversionError("The digi-sample file " + quoted(path) + " does not fit in " + imageBufferName()
                              + " behind the module.");
    std::memset(s.ModuleImage.data() + s.imageEnd, 0, padding);
    s.imageEnd += padding;

    s.ModuleImage[header + 0] = 0xE0;
    s.ModuleImage[header + 1] = pages.first;
    s.ModuleImage[header + 2] = 0xFF;
    s.ModuleImage[header + 3] = pages.last;
    s.sampleSegment = header;
    s.samplesFromThisLoad = true;
    return pages;
}

} // namespace orvex
