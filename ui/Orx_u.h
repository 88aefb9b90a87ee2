#pragma once
// The main window "SW": a small fixed panel with a label menu bar (FILE, OPTIONS,
// HELP), the Name, Author and Date boxes, the Format, Size and SAP values and the
// option "InfoCLR at load" shown as an LED. Its layout comes from Orx_u.ui; the
// conversion engine reaches its controls through MainWindowLink (Orx_u_link.cpp).

#include "conversion.h"
#include "dialogs.h"
#include "encode.h"
#include "label.h"
#include "layouts.h"
#include "picture.h"
#include "timed_writer.h"
#include "window_link.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QMenu;

namespace orvex::ui {
class Listening;
}

class TSW : public QWidget, public Ui::TSW, public orvex::MainWindowLink {
    Q_OBJECT
public:
    // The window works on `state`, or on the program's conversion state when none is given.
    explicit TSW(QWidget* parent = nullptr, orvex::ConversionState* state = nullptr);
    ~TSW() override;

    // The module, save and digi-sample dialogs
    orvex::ui::FileDialog OD;
    orvex::ui::FileDialog SD;
    orvex::ui::FileDialog ODS;
    // The dialog of "Export audio...": one filter for each audio format
    orvex::ui::FileDialog AD;

    // Where the save commands find the player files: by default the user's folder, then
    // <folder of the program>/../share/orvex/players (orvex::defaultPlayerFolders)
    void setPlayerFolder(const QString& folder);

    // What FormActivate shows when the window first becomes active (the splash).
    void setFirstActivation(std::function<void()> show) { firstActivation_ = std::move(show); }

    // Loads the module as "Load Atari MSX" loads a confirmed file; the samples of an .MD1
    // module are the .D15 file beside it with its name (letter case ignored), when there
    // is one, else the sample dialog asks for them. For the file the program is opened with.
    void openModule(const QString& module);

    // The characters typed in the boxes that the SAP header cannot hold, box by box,
    // with what is written in their place; empty when it holds them all. With "Standard
    // header" on, the header holds printable ASCII: the texts that are written otherwise.
    QString unheldCharacters() const;

    // MainWindowLink: what the conversion reads and writes of the window
    std::string nameText() const override;
    void setNameText(const std::string& text) override;
    std::string authorText() const override;
    void setAuthorText(const std::string& text) override;
    std::string dateText() const override;
    void setDateText(const std::string& text) override;
    bool infoClearChecked() const override;
    void enableInfoFields() override;
    void setFormatValue(const std::string& text) override;
    void setSizeValue(const std::string& text) override;
    void setSapValue(const std::string& text) override;
    bool runModuleDialog() override;
    std::string moduleFileName() const override;
    void setSampleDialogFolder(const std::string& folder) override;
    bool runSampleDialog() override;
    std::string sampleFileName() const override;
    bool runSaveDialog() override;
    std::string saveFileName() const override;
    void setSaveFileName(const std::string& path) override;
    void showAdrConflict() override;
    void showError(const std::string& message) override;

public slots:
    void Label9MouseDown(Qt::MouseButton button);
    void Label10MouseDown(Qt::MouseButton button);
    void Label11MouseDown(Qt::MouseButton button);
    void Label9MouseUp(Qt::MouseButton button);
    void Label10MouseUp(Qt::MouseButton button);
    void Label11MouseUp(Qt::MouseButton button);
    void AboutOrvex1Click();
    void LoadAtariMSX1Click();
    void Button1Click();
    void ledoffClick();
    void ledonClick();
    void oxClick();
    void ExitORVEX1Click();
    void FormActivate();
    void SaveSAPfileas1Click();
    void SaveSAPfile1Click();
    void Listen1Click();
    void ExportAudio1Click();

signals:
    // The window has been closed: the program ends.
    void closed();

protected:
    bool event(QEvent* event) override;
    // One module file dropped anywhere on the window, the boxes included, is loaded as
    // "Load Atari MSX" loads it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void titlePressed(Label* title);
    void titleReleased(Label* title, QMenu* menu, int xAddend);
    void setOption(bool on);
    void setInfoFieldsEnabled(bool on);
    // A save goes ahead: names the characters the header cannot hold, if any.
    void noticeUnheldCharacters();
    orvex::Converter converter();
    // A save's message after the file was written: a TIME that could not be found.
    void noticeUntimed();
    // What the header holds of a box's text: Windows-1250, or ASCII for "Standard header"
    std::string headerText(const QString& text) const;

    // The SAP file that a save would write now, made on a copy of the state: the load is
    // not used up. Nothing when it cannot be made or libgme cannot play it (TYPE D, which
    // cannot be `refused`: "played"); a message says why.
    struct SapAsSaved {
        orvex::SapFile sap;
        std::vector<orvex::InputFile> inputs;  // the files read: never written over
    };
    std::optional<SapAsSaved> playableSap(const char* refused);
    void listeningEnded(const QString& problem);
    // Writes the tune of `sap` to AD's file; "" or what went wrong.
    QString writeAudio(const SapAsSaved& sap, orvex::audio::Format format);
    // Ends the listening, if any: at "Stop listening", a new load and Exit.
    void stopListening();

    orvex::ConversionState* state_;
    std::unique_ptr<orvex::ui::TimedWriter> timedWriter_;
    orvex::ui::Listening* listening_ = nullptr;
    QString listenText_;  // "Listen", from the layout
    // openModule is loading: the samples beside the module are taken
    bool samplesBeside_ = false;
    std::vector<std::string> playerFolders_;
    std::function<void()> firstActivation_;
    QString droppedModule_;
    // The value fields' texts at start, from the layout: Format, Size, SAP
    QStringList startValues_;
    // During a load: the module dialog was confirmed; the load enabled the info fields.
    bool loadConfirmed_ = false;
    bool infoEnabled_ = false;
    bool activated_ = false;
    bool placed_ = false;
};

// The main window of the run
extern TSW* SW;
