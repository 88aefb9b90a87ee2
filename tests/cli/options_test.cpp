// orvex-convert's options as its usage text, its getopt table and its man page name
// them: the same options in the same order, each taking a value where the usage says.

#include "convert.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace support;

// The options of a text's lines that begin with one, "-o, --output PATH", in order
std::vector<std::string> optionsIn(const std::string& text)
{
    static const std::regex option(R"(^ +((-\w, )?--[a-z-]+( [A-Z]+)?)(  |$))", std::regex::multiline);
    return {std::sregex_token_iterator(text.begin(), text.end(), option, 1), std::sregex_token_iterator()};
}

// The man page's headings under OPTIONS without their fonts, each option on a line
std::string manPageHeadings()
{
    std::ifstream page(MAN_PAGE);
    std::string line, text;
    while (std::getline(page, line) && line != ".SH OPTIONS") {}
    while (std::getline(page, line) && !line.starts_with(".SH ")) {
        if (line == ".TP" && std::getline(page, line))
            text += "  " + std::regex_replace(std::regex_replace(line, std::regex(R"(\\f[BIR]|\\(?=-))"), ""), std::regex("; "), "\n  ") + "\n";
    }
    return text;
}

TEST(Options, UsageTableAndManPageAgree)
{
    const std::vector<std::string> listed = optionsIn(run({ORVEX_CONVERT, "--help"}).out);
    ASSERT_GE(listed.size(), 16u) << "the usage text names its options";
    EXPECT_EQ(listed, optionsIn(manPageHeadings()));
    static const std::regex names("--?[a-z-]+");
    for (const std::string& option : listed) {
        const bool value = option.find(' ', option.find("--")) != std::string::npos;
        for (std::sregex_iterator n(option.begin(), option.end(), names), end; n != end; ++n) {
            // Alone, one that takes a value lacks it; a long one that takes none refuses one.
            const std::string name = n->str(), said = run({ORVEX_CONVERT, value || name.size() == 2 ? name : name + "=x"}).err;
            if (!value && name.size() == 2)
                EXPECT_EQ(said.find("'" + name + "'"), std::string::npos) << said;
            else
                EXPECT_NE(said.find("Option '" + name + (value ? "' needs a value." : "' takes no value.")), std::string::npos) << said;
        }
    }
}

} // namespace
