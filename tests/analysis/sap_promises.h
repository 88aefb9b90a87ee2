#pragma once
// What the SAP reader promises of any file, checked by its tests and by the fuzzer: it
// refuses, naming the file and a line or an offset within it, or reads the texts from the
// header and the segments from the image; fed in blocks, the header reads the same.

#include "sap_file.h"

#include <cstdio>

namespace orvex::sap::test {

// "" or the promise broken
inline std::string brokenPromise(std::string_view file, std::size_t block)
{
    SapFile sap;
    const std::string problem = readSap(file, sap, "f");
    unsigned long at = 0;
    if (!problem.empty() && (std::sscanf(problem.c_str(), "\"f\" %*[lineofst] %lu: ", &at) != 1 || at > file.size() + 1))
        return "the refusal names no line or offset within the file";
    const std::string_view header = file.substr(0, sap.imageAt.value_or(file.size()));  // throws past the end
    for (const Segment& segment : sap.segments)
        if (segment.bytes.data() < header.end() || segment.bytes.end() > file.end())
            return "a segment lies outside the image";
    for (const std::string* text : {&sap.author, &sap.name, &sap.date})
        if (header.find(*text) == header.npos)
            return "a text is not in the header";
    SapHeaderReader reader("f");
    for (std::size_t from = 0; from < file.size() && reader.feed(file.substr(from, block)); from += block) {
    }
    reader.finish();
    // A refusal at a byte offset is the image's, which the header reader does not read.
    const bool same = reader.header() == sap && reader.problem() == (problem.starts_with("\"f\" offset ") ? "" : problem);
    return same ? "" : "the header read in blocks of " + std::to_string(block) + " reads otherwise";
}

} // namespace orvex::sap::test
