#include "plain_window.h"

namespace orvex {

namespace {

// A dialog answers with what was set beforehand; without an answer the user cancels.
bool answer(const std::optional<std::string>& given, std::string& fileName, int& runs)
{
    ++runs;
    if (!given)
        return false;
    fileName = *given;
    return true;
}

} // namespace

bool PlainWindow::runModuleDialog() { return answer(moduleAnswer, odFileName, moduleDialogRuns); }
bool PlainWindow::runSampleDialog() { return answer(sampleAnswer, odsFileName, sampleDialogRuns); }
bool PlainWindow::runSaveDialog() { return answer(saveAnswer, sdFileName, saveDialogRuns); }

} // namespace orvex
