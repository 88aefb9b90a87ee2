#include "Orx_u.h"

#include "Orx_a.h"
#include "fixed_dialog.h"
#include "fonts.h"
#include "frame.h"
#include "listening.h"
#include "players.h"
#include "text8.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>

#include <stdexcept>
#include <utility>

TSW* SW = nullptr;

namespace {

using orvex::ui::FileDialog;

// The three file dialogs as the window stores them. The module dialog accepts only an
// existing file; the save dialog replaces an existing file without a question, and the
// sample dialog accepts any name (the load reports a file that cannot be read).
FileDialog fileDialog(const char* name, FileDialog::Kind kind, const char* filter, bool fileMustExist)
{
    FileDialog d;
    d.objectName = QString::fromLatin1(name);
    d.kind = kind;
    d.filter = QString::fromLatin1(filter);
    d.fileMustExist = fileMustExist;
    d.confirmOverwrite = false;
    return d;
}

const char* const kModuleFilter =
    "All supported types|*.CMC;*.MPT;*.MD1;*.TMC;*.TM8;*.COM|Chaos Music Composer|*.CMC|"
    "Music Protracker 2.4, no Digi|*.MPT|Music Protracker 2.4, 1 Digi|*.MD1|"
    "Theta Music Composer, mono|*.TMC|Theta Music Composer, stereo|*.TM8|Benjy Soundmonitor|*.COM";

// One entry for each format of orvex-convert --audio, in its order
const char* const kAudioFilter = "WAV|*.wav|FLAC|*.flac|Ogg Vorbis|*.ogg|Opus|*.opus|MP3|*.mp3";

} // namespace

TSW::TSW(QWidget* parent, orvex::ConversionState* state)
    : QWidget(parent),
      OD(fileDialog("OD", FileDialog::Kind::Open, kModuleFilter, true)),
      SD(fileDialog("SD", FileDialog::Kind::Save, "Slight Atari Player file|*.SAP", false)),
      ODS(fileDialog("ODS", FileDialog::Kind::Open, "Samples for .MD1 file|*.D15", false)),
      AD(fileDialog("AD", FileDialog::Kind::Save, kAudioFilter, false)),
      state_(state ? state : &orvex::processState()),
      timedWriter_(std::make_unique<orvex::ui::TimedWriter>()),
      playerFolders_(orvex::defaultPlayerFolders())
{
    orvex::ui::installFontSubstitutions();
    setupUi(this);
    orvex::ui::applyLayoutPixelFonts(this);

    // Fixed single border; the title bar holds the system menu and the close box only.
    orvex::ui::fixToLayout(this, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                                     | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setAcceptDrops(true);
    startValues_ = {Label13->text(), Label14->text(), Label15->text()};
    // The boxes each fill one header line: what is typed or pasted holds no control
    // characters. A drop on a box is the window's: the box takes none, no path is pasted.
    auto* oneLine = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\\x00-\\x1F\\x7F]*")), this);
    for (QLineEdit* box : {Edit1, Edit2, Edit3}) {
        box->setValidator(oneLine);
        box->setAcceptDrops(false);
    }

    connect(Label9, &Label::pressed, this, &TSW::Label9MouseDown);
    connect(Label10, &Label::pressed, this, &TSW::Label10MouseDown);
    connect(Label11, &Label::pressed, this, &TSW::Label11MouseDown);
    connect(Label9, &Label::released, this, &TSW::Label9MouseUp);
    connect(Label10, &Label::released, this, &TSW::Label10MouseUp);
    connect(Label11, &Label::released, this, &TSW::Label11MouseUp);
    connect(AboutOrvex1, &QAction::triggered, this, &TSW::AboutOrvex1Click);
    connect(LoadAtariMSX1, &QAction::triggered, this, &TSW::LoadAtariMSX1Click);
    connect(Button1, &QPushButton::clicked, this, &TSW::Button1Click);
    connect(ledoff, &Picture::clicked, this, &TSW::ledoffClick);
    connect(ledon, &Picture::clicked, this, &TSW::ledonClick);
    connect(ExitORVEX1, &QAction::triggered, this, &TSW::ExitORVEX1Click);
    connect(SaveSAPfileas1, &QAction::triggered, this, &TSW::SaveSAPfileas1Click);
    connect(SaveSAPfile1, &QAction::triggered, this, &TSW::SaveSAPfile1Click);
    connect(Listen1, &QAction::triggered, this, &TSW::Listen1Click);
    connect(ExportAudio1, &QAction::triggered, this, &TSW::ExportAudio1Click);
    AD.confirmOverwrite = true;
    listenText_ = Listen1->text();
    listening_ = new orvex::ui::Listening(this);
    connect(listening_, &orvex::ui::Listening::ended, this, &TSW::listeningEnded);
    // A checkable action turns its own mark before it reports the trigger; the mark
    // is put back first, so that only oxClick switches it.
    connect(ox, &QAction::triggered, this, [this](bool checked) {
        {
            const QSignalBlocker quiet(ox);
            ox->setChecked(!checked);
        }
        oxClick();
    });
}

TSW::~TSW()
{
    if (SW == this)
        SW = nullptr;
}

void TSW::setPlayerFolder(const QString& folder)
{
    playerFolders_ = {QFile::encodeName(folder).toStdString()};
}

orvex::Converter TSW::converter()
{
    orvex::Converter converter(*state_, *this, playerFolders_);
    converter.setHeaderStyle(StandardHeader1->isChecked() ? orvex::HeaderStyle::Standard : orvex::HeaderStyle::Apostrophes);
    timedWriter_->untimed.clear();
    if (TimeAtSave1->isChecked())
        converter.setWriter(timedWriter_.get());
    return converter;
}

// ------------------------------------------------------------------ menu bar

void TSW::titlePressed(Label* title)
{
    title->setFontColor(QColor(0, 0, 128));
}

void TSW::titleReleased(Label* title, QMenu* menu, int xAddend)
{
    title->setFontColor(QColor(0, 0, 0));
    // Just below the title, from where the window's outer frame stands now
    menu->popup(orvex::ui::menuPoint(orvex::ui::clientOrigin(this), orvex::ui::frameExtents(this), title->pos(), xAddend));
}

void TSW::Label9MouseDown(Qt::MouseButton)
{
    titlePressed(Label9);
}

void TSW::Label10MouseDown(Qt::MouseButton)
{
    titlePressed(Label10);
}

void TSW::Label11MouseDown(Qt::MouseButton)
{
    titlePressed(Label11);
}

void TSW::Label9MouseUp(Qt::MouseButton)
{
    titleReleased(Label9, Filemen, 10);
}

void TSW::Label10MouseUp(Qt::MouseButton)
{
    titleReleased(Label10, Optiomen, 15);
}

void TSW::Label11MouseUp(Qt::MouseButton)
{
    titleReleased(Label11, Helpmen, 10);
}

// ------------------------------------------------------------------ commands

void TSW::AboutOrvex1Click()
{
    if (!quill)
        throw std::runtime_error("The about box is not available.");
    quill->exec();
}

void TSW::LoadAtariMSX1Click()
{
    loadConfirmed_ = infoEnabled_ = false;
    converter().LoadAtariMSX();
    if (!loadConfirmed_)
        return;
    // The window shows what this load left, whatever the loads before it left. Refused,
    // nothing is loaded: the values are those at start. An .MD1 module without its
    // samples is loaded but cannot be saved: the info fields stay disabled.
    if (state_->moduleLoaded != 1) {
        Label13->setText(startValues_[0]);
        Label14->setText(startValues_[1]);
        Label15->setText(startValues_[2]);
    }
    if (!infoEnabled_)
        setInfoFieldsEnabled(false);
}

void TSW::SaveSAPfileas1Click()
{
    noticeUnheldCharacters();
    converter().SaveSAPfileas();
    noticeUntimed();
}

void TSW::SaveSAPfile1Click()
{
    noticeUnheldCharacters();
    converter().SaveSAPfile();
    noticeUntimed();
}

void TSW::setInfoFieldsEnabled(bool on)
{
    for (QWidget* control : std::initializer_list<QWidget*>{Label1, Label2, Label3, Label7, Edit1, Edit2, Edit3, Button1,
                                                            Label4, Label5, Label6, Label13, Label14, Label15})
        control->setEnabled(on);
}

void TSW::noticeUnheldCharacters()
{
    // Only before a save that goes ahead: with nothing loaded the save commands do nothing.
    if (state_->moduleLoaded != 1)
        return;
    const QString unheld = unheldCharacters();
    if (!unheld.isEmpty())
        orvex::ui::dialogs().message(this, orvex::ui::MessageKind::Notice, unheld);
}

void TSW::Button1Click()
{
    Edit1->setText(QString());
    Edit2->setText(QString());
    Edit3->setText(QString());
}

void TSW::ExitORVEX1Click()
{
    close();
}

// ------------------------------------------------------------------ the option

void TSW::setOption(bool on)
{
    ox->setChecked(on);
    ledon->setVisible(on);
    ledoff->setVisible(!on);
}

void TSW::ledoffClick()
{
    setOption(true);
}

void TSW::ledonClick()
{
    setOption(false);
}

void TSW::oxClick()
{
    setOption(!ox->isChecked());
}

// ------------------------------------------------------------------ window events

void TSW::FormActivate()
{
    if (firstActivation_ && isVisible())
        firstActivation_();
}

void TSW::showEvent(QShowEvent* event)
{
    // Centred on the screen when first shown, frame included
    if (!placed_) {
        placed_ = true;
        orvex::ui::centreWhenFramed(this);
    }
    QWidget::showEvent(event);
}

bool TSW::event(QEvent* event)
{
    // The splash shows once, when the window first becomes active; it runs after
    // the activation has been handled.
    if (event->type() == QEvent::WindowActivate && !activated_) {
        activated_ = true;
        QTimer::singleShot(0, this, &TSW::FormActivate);
    }
    return QWidget::event(event);
}

namespace {

// The one local file, not a folder, that a drop brings; empty for anything else.
QString droppedFile(const QMimeData* data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.front().isLocalFile() || !QFileInfo(urls.front().toLocalFile()).isFile())
        return {};
    return urls.front().toLocalFile();
}

} // namespace

void TSW::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TSW::dropEvent(QDropEvent* event)
{
    const QString module = droppedFile(event->mimeData());
    if (module.isEmpty())
        return;
    event->acceptProposedAction();
    droppedModule_ = module;
    LoadAtariMSX1Click();
    droppedModule_.clear();
}

void TSW::closeEvent(QCloseEvent* event)
{
    stopListening();
    event->accept();
    emit closed();
}
