#include "plain_window.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace orvex {

bool PlainWindow::runModuleDialog()
{
    ++moduleDialogRuns;
    if (!moduleAnswer)
        return false;
    odFileName = *moduleAnswer;
    return true;
}

bool PlainWindow::runSampleDialog()
{
    ++sampleDialogRuns;
    if (!sampleAnswer)
        return false;
    odsFileName = *sampleAnswer;
    return true;
}

bool PlainWindow::runSaveDialog()
{
    ++saveDialogRuns;
    if (!saveAnswer)
        return false;
    sdFileName = *saveAnswer;
    return true;
}

// Selections behave as in an edit box: they are kept inside the text.
void PlainWindow::setScratchText(const std::string& text)
{
    scratch = text;
    selectionStart = static_cast<int>(text.size());
    selectionLength = 0;
}

void PlainWindow::setScratchSelection(int start, int length)
{
    const int size = static_cast<int>(scratch.size());
    selectionStart = std::clamp(start, 0, size);
    selectionLength = std::clamp(length, 0, size - selectionStart);
}

void PlainWindow::replaceScratchSelection(const std::string& text)
{
    scratch.replace(static_cast<std::size_t>(selectionStart), static_cast<std::size_t>(selectionLength), text);
    selectionStart += static_cast<int>(text.size());
    selectionLength = 0;
}

std::vector<std::string> defaultPlayerFolders()
{
    std::vector<std::string> folders;
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (data && *data == '/')
        folders.push_back(std::string(data) + "/orvex/players");
    else if (home && *home)
        folders.push_back(std::string(home) + "/.local/share/orvex/players");
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto folder = error ? std::filesystem::current_path(error) : executable.parent_path();
    folders.push_back((folder / ".." / "share" / "orvex" / "players").lexically_normal().string());
    return folders;
}

} // namespace orvex
