#pragma once
// What the conversion needs of the main window: its three info boxes, the option
// "InfoCLR at load", the value fields, the three file dialogs and its message boxes.
// The Qt window implements it with its controls; the command-line converter and the
// tests implement it with plain data (PlainWindow).
//
// Texts of the info boxes are 8-bit (Windows-1250) bytes, as they go into the SAP
// header; paths are the file system's own bytes.

#include <string>

namespace orvex {

class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;

    // Edit1 (Name), Edit2 (Author), Edit3 (Date)
    virtual std::string nameText() const = 0;
    virtual void setNameText(const std::string& text) = 0;
    virtual std::string authorText() const = 0;
    virtual void setAuthorText(const std::string& text) = 0;
    virtual std::string dateText() const = 0;
    virtual void setDateText(const std::string& text) = 0;

    // The check mark of the Options item "InfoCLR at load"
    virtual bool infoClearChecked() const = 0;

    // Enables the info and value captions, the three boxes and "HERE"
    virtual void enableInfoFields() = 0;
    // The value fields Format, Size and SAP
    virtual void setFormatValue(const std::string& text) = 0;
    virtual void setSizeValue(const std::string& text) = 0;
    virtual void setSapValue(const std::string& text) = 0;

    // The module dialog: true when the user confirmed a file
    virtual bool runModuleDialog() = 0;
    virtual std::string moduleFileName() const = 0;

    // The digi-sample dialog
    virtual void setSampleDialogFolder(const std::string& folder) = 0;
    virtual bool runSampleDialog() = 0;
    virtual std::string sampleFileName() const = 0;

    // The save dialog; its file name also carries the output path of "Save SAP file"
    virtual bool runSaveDialog() = 0;
    virtual std::string saveFileName() const = 0;
    virtual void setSaveFileName(const std::string& path) = 0;

    // Message boxes: the overlap warning, and one message for each error
    virtual void showAdrConflict() = 0;
    virtual void showError(const std::string& message) = 0;
};

// The warning shown when the digi samples' pages overlap the module's
inline constexpr const char* kAdrConflictText = "ADR conflict detected! (SAP failure?)";

} // namespace orvex
