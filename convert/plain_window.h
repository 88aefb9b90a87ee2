#pragma once
// A main window made of plain data, for the command-line converter and the tests:
// each dialog answers with what was set beforehand (no value: the user cancels).

#include "window_link.h"

#include <optional>
#include <string>
#include <vector>

namespace orvex {

class PlainWindow : public MainWindowLink {
public:
    // Edit1, Edit2, Edit3
    std::string name, author, date;
    bool infoClear = false;
    bool infoEnabled = false;
    std::string formatValue = "none", sizeValue = "n/o", sapValue = "n/o";

    // What the dialogs answer
    std::optional<std::string> moduleAnswer, sampleAnswer, saveAnswer;
    // The dialogs' file names, as the real dialogs keep them
    std::string odFileName, odsFileName, sdFileName, sampleFolder;
    int moduleDialogRuns = 0, sampleDialogRuns = 0, saveDialogRuns = 0;

    int adrConflicts = 0;
    std::vector<std::string> errors;

    std::string nameText() const override { return name; }
    void setNameText(const std::string& text) override { name = text; }
    std::string authorText() const override { return author; }
    void setAuthorText(const std::string& text) override { author = text; }
    std::string dateText() const override { return date; }
    void setDateText(const std::string& text) override { date = text; }
    bool infoClearChecked() const override { return infoClear; }
    void enableInfoFields() override { infoEnabled = true; }
    void setFormatValue(const std::string& text) override { formatValue = text; }
    void setSizeValue(const std::string& text) override { sizeValue = text; }
    void setSapValue(const std::string& text) override { sapValue = text; }

    bool runModuleDialog() override;
    std::string moduleFileName() const override { return odFileName; }
    void setSampleDialogFolder(const std::string& folder) override { sampleFolder = folder; }
    bool runSampleDialog() override;
    std::string sampleFileName() const override { return odsFileName; }
    bool runSaveDialog() override;
    std::string saveFileName() const override { return sdFileName; }
    void setSaveFileName(const std::string& path) override { sdFileName = path; }

    void showAdrConflict() override { ++adrConflicts; }
    void showError(const std::string& message) override { errors.push_back(message); }
};

} // namespace orvex
