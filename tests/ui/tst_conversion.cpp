// Loading and saving through the main window, with its dialogs answered by the test
// and real files: the info and value areas after each step, the files written, the
// messages shown, and the same bytes as the engine writes through a plain window.

#include "Orx_u.h"
#include "plain_window.h"
#include "support.h"
#include "text8.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using testing_ui::atariModule;
using testing_ui::bytes;
using testing_ui::FakeDialogs;
using testing_ui::readFile;
using testing_ui::writeFile;
using orvex::ui::MessageKind;

class ConversionTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString players;
    std::unique_ptr<orvex::ConversionState> state;
    std::unique_ptr<TSW> w;
    std::unique_ptr<FakeDialogs> dialogs;

    QString path(const QString& name) const { return dir->filePath(name); }

    QStringList infoControls() const
    {
        return {"Label1", "Label2", "Label3", "Label7", "Edit1", "Edit2", "Edit3", "Button1",
                "Label4", "Label5", "Label6", "Label13", "Label14", "Label15"};
    }
    bool infoEnabled(bool expected) const
    {
        for (const QString& name : infoControls()) {
            if (w->findChild<QWidget*>(name)->isEnabled() != expected)
                return false;
        }
        return true;
    }
    QStringList values() const { return {w->Label13->text(), w->Label14->text(), w->Label15->text()}; }

    void load(const QString& module, std::optional<QString> samples = std::nullopt)
    {
        dialogs->answer("OD", module);
        if (samples)
            dialogs->answer("ODS", *samples);
        w->LoadAtariMSX1->trigger();
    }

    void saveAs(std::optional<QString> target)
    {
        dialogs->answer("SD", target);
        w->SaveSAPfileas1->trigger();
    }

    // What the engine writes through a plain window for the same inputs
    QByteArray plainConversion(const QString& module, std::optional<QString> samples, const QString& name,
                               const QString& author, const QString& date, std::optional<QString> target)
    {
        auto plainState = std::make_unique<orvex::ConversionState>();
        orvex::PlainWindow plain;
        plain.name = orvex::utf8ToWindows1250(name.toStdString());
        plain.author = orvex::utf8ToWindows1250(author.toStdString());
        plain.date = orvex::utf8ToWindows1250(date.toStdString());
        orvex::Converter converter(*plainState, plain, QFile::encodeName(players).toStdString());
        plain.moduleAnswer = QFile::encodeName(module).toStdString();
        if (samples)
            plain.sampleAnswer = QFile::encodeName(*samples).toStdString();
        converter.LoadAtariMSX();
        std::string written;
        if (target) {
            plain.saveAnswer = QFile::encodeName(*target).toStdString();
            converter.SaveSAPfileas();
        } else {
            converter.SaveSAPfile();
        }
        if (!plain.errors.empty())
            qWarning("plain conversion: %s", plain.errors.front().c_str());
        return readFile(QFile::decodeName(QByteArray::fromStdString(plain.sdFileName)));
    }

private slots:
    void initTestCase()
    {
        testing_ui::quietPlatformNotes();
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        players = path("players");
        QVERIFY(QDir().mkpath(players));
        testing_ui::writePlayers(players);
        state = std::make_unique<orvex::ConversionState>();
        w = std::make_unique<TSW>(nullptr, state.get());
        w->setPlayerFolder(players);
        dialogs = std::make_unique<FakeDialogs>();
    }

    void cleanup()
    {
        dialogs.reset();
        w.reset();
        state.reset();
        dir.reset();
    }

    void playerFolderDefault()
    {
        TSW other(nullptr, state.get());
        QCOMPARE(other.playerFolder(),
                 QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/orvex/players"));
    }

    // The info and value areas through load, save, a refused second save and a new load.
    void stateTable()
    {
        const QString module = path("song.Mpt");
        writeFile(module, atariModule(0x4000, 0x43E1, 1000));

        QVERIFY(infoEnabled(false));
        QCOMPARE(values(), QStringList({"none", "n/o", "n/o"}));
        QVERIFY(w->Label12->isEnabled() && w->Label9->isEnabled() && w->ledoff->isEnabled());

        load(module);
        QVERIFY(infoEnabled(true));
        QCOMPARE(values(), QStringList({"Mpt", "1000", "n/o"}));
        QCOMPARE(state->moduleLoaded, 1);

        w->Edit1->setText("Tune");
        saveAs(path("out.sap"));
        const qint64 length = QFileInfo(path("out.sap")).size();
        QVERIFY(length > 1000);
        QCOMPARE(values(), QStringList({"Mpt", "1000", QString::number(length)}));
        QVERIFY(infoEnabled(true));
        QCOMPARE(state->moduleLoaded, 0);
        QCOMPARE(w->Edit1->text(), QString("Tune"));

        // One save per load: neither command does anything now
        const int saveRuns = dialogs->runsOf("SD");
        w->SaveSAPfileas1->trigger();
        w->SaveSAPfile1->trigger();
        QCOMPARE(dialogs->runsOf("SD"), saveRuns);
        QVERIFY(!QFile::exists(path("song.SAP")));
        QCOMPARE(values(), QStringList({"Mpt", "1000", QString::number(length)}));

        // A new load: Loaded again, SAP back to n/o, and the next save works
        writeFile(path("next.tm8"), [] {
            QByteArray m = atariModule(0x3000, 0x31FF, 518);
            m[37] = 1;
            return m;
        }());
        load(path("next.tm8"));
        QCOMPARE(values(), QStringList({"tm8", "518", "n/o"}));
        QVERIFY(infoEnabled(true));
        w->SaveSAPfile1->trigger();
        QVERIFY(QFile::exists(path("next.SAP")));
        QCOMPARE(values(), QStringList({"tm8", "518", QString::number(QFileInfo(path("next.SAP")).size())}));
        QVERIFY(readFile(path("next.SAP")).contains("STEREO\r\n"));
        QVERIFY(dialogs->messages.empty());
    }

    void saveBeforeLoadDoesNothing()
    {
        w->SaveSAPfileas1->trigger();
        w->SaveSAPfile1->trigger();
        QVERIFY(dialogs->runs.empty());
        QVERIFY(dialogs->messages.empty());
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 0);
        QCOMPARE(values(), QStringList({"none", "n/o", "n/o"}));
        QVERIFY(w->Edit4->text().isEmpty());
    }

    // A cancelled module dialog changes nothing.
    void cancelledLoadChangesNothing()
    {
        const QString module = path("song.mpt");
        writeFile(module, atariModule(0x4000, 0x40FF, 300));
        load(module);
        w->Edit1->setText("Kept");
        const auto imageEnd = state->imageEnd;
        dialogs->answer("OD", std::nullopt);
        w->LoadAtariMSX1->trigger();
        QCOMPARE(state->moduleLoaded, 1);
        QCOMPARE(state->imageEnd, imageEnd);
        QCOMPARE(values(), QStringList({"mpt", "300", "n/o"}));
        QCOMPARE(w->Edit1->text(), QString("Kept"));
        QCOMPARE(w->OD.fileName, module);
        // The dialog opened with the module picked last
        QCOMPARE(dialogs->runs.back().fileName, module);
    }

    // The whole save worked through: a 1000-byte .MPT module at $4000, a player of
    // 1506 bytes, Name "Tune", no Author, Date "1999".
    void wholeSave()
    {
        const QByteArray module = atariModule(0x4000, 0x43E1, 1000);
        writeFile(path("tune.mpt"), module);
        const QByteArray player = testing_ui::playerFile(1500, 9);
        writeFile(players + "/mpt_0500.plr", player);

        load(path("tune.mpt"));
        w->Edit1->setText("Tune");
        w->Edit3->setText("1999");
        saveAs(path("new name"));

        QByteArray expected = "SAP\r\nAUTHOR  'Unknown'\r\nNAME  'Tune'\r\nDATE  '1999'\r\nTYPE B\r\nSONGS 1\r\n"
                              "INIT 04F3\r\nPLAYER 0503\r\n";
        QCOMPARE(expected.size(), 93);
        expected += module;
        expected += bytes({0xF3, 0x04, 0xDB, 0x0A});
        expected += bytes({0xA0, 0x00, 0xA2, 0x40, 0xA9, 0x00, 0x20, 0x00, 0x05, 0xA2, 0x00, 0xA9, 0x02});
        expected += player.mid(6);
        QCOMPARE(expected.size(), 2610);
        QCOMPARE(readFile(path("new name")), expected);
        QCOMPARE(w->Label15->text(), QString("2610"));
        QCOMPARE(w->Edit2->text(), QString("Unknown"));
        QCOMPARE(w->Edit1->text(), QString("Tune"));
        QCOMPARE(w->Edit3->text(), QString("1999"));
        QCOMPARE(state->moduleLoaded, 0);
        QCOMPARE(w->SD.fileName, path("new name"));
    }

    // After a cancelled "Save SAP file as...", "Save SAP file" writes beside the module.
    void cancelledSaveAsThenSave()
    {
        const QString module = path("song.tm8");
        QByteArray bytes8 = atariModule(0x3000, 0x31FF, 518);
        bytes8[37] = 2;
        writeFile(module, bytes8);
        load(module);

        saveAs(std::nullopt);
        QCOMPARE(dialogs->runsOf("SD"), 1);
        QCOMPARE(state->moduleLoaded, 1);
        QCOMPARE(QDir(dir->path()).entryList({"*.SAP", "*.sap"}, QDir::Files).size(), 0);
        QCOMPARE(w->Label15->text(), QString("n/o"));

        w->SaveSAPfile1->trigger();
        QCOMPARE(dialogs->runsOf("SD"), 1);  // no dialog
        const QString written = path("song.SAP");
        QVERIFY(QFile::exists(written));
        QCOMPARE(w->Edit4->text(), written);
        QCOMPARE(w->SD.fileName, written);
        QCOMPARE(w->Label15->text(), QString::number(QFileInfo(written).size()));
        const QByteArray text = readFile(written);
        QVERIFY(text.startsWith("SAP\r\nAUTHOR  'Unknown'\r\nNAME  'Unknown'\r\nDATE  '<?>'\r\nTYPE B\r\nSONGS 1\r\n"
                                "STEREO\r\nFASTPLAY 156\r\nINIT 04E7\r\nPLAYER 04F7\r\n"));

        // The next "Save SAP file as..." opens with the path just written
        load(module);
        saveAs(std::nullopt);
        QCOMPARE(dialogs->runs.back().dialog, QString("SD"));
        QCOMPARE(dialogs->runs.back().fileName, written);
    }

    // Empty boxes get their replacement texts, which show after the save.
    void replacementTexts()
    {
        writeFile(path("a.com"), atariModule(0x8000, 0x80FF, 262));
        load(path("a.com"));
        w->Edit1->setText("");
        w->Edit2->setText(" ");
        w->Edit3->setText("");
        saveAs(path("a.sap"));
        QCOMPARE(w->Edit1->text(), QString("Unknown"));
        QCOMPARE(w->Edit2->text(), QString(" "));
        QCOMPARE(w->Edit3->text(), QString("<?>"));
        QVERIFY(readFile(path("a.sap")).startsWith("SAP\r\nAUTHOR  ' '\r\nNAME  'Unknown'\r\nDATE  '<?>'\r\n"
                                                    "TYPE B\r\nSONGS 1\r\nINIT 8011\r\nPLAYER 8017\r\n"));
    }

    // An .MD1 module with its samples: the sample dialog opens in the module's folder,
    // the samples may come from elsewhere, and the SAP file goes beside the module.
    void md1WithSamples()
    {
        const QString module = path("digi.MD1");
        writeFile(module, atariModule(0x4000, 0x47FF, 2054));
        QVERIFY(QDir().mkpath(path("samples")));
        QByteArray sample(1056, '\x11');
        sample[0] = 0x20;
        writeFile(path("samples/digi.D15"), sample);

        load(module, path("samples/digi.D15"));
        QCOMPARE(dialogs->runsOf("ODS"), 1);
        QCOMPARE(dialogs->runs.back().dialog, QString("ODS"));
        QCOMPARE(QDir(dialogs->runs.back().initialFolder), QDir(dir->path()));
        QVERIFY(infoEnabled(true));
        QCOMPARE(values(), QStringList({"MD1", "2054", "n/o"}));
        QVERIFY(dialogs->messages.empty());
        QCOMPARE(state->imageEnd, std::size_t(2054 + 4 + 1056));

        w->SaveSAPfile1->trigger();
        const QByteArray text = readFile(path("digi.SAP"));
        QVERIFY(text.startsWith("SAP\r\nAUTHOR  'Unknown'\r\nNAME  'Unknown'\r\nDATE  '<?>'\r\nTYPE D\r\nSONGS 1\r\n"
                                "INIT 04E3\r\nPLAYER 0503\r\n"));
        QVERIFY(text.contains(bytes({0xE0, 0x1F, 0xFF, 0x23}) + sample));
        QCOMPARE(w->Label15->text(), QString::number(text.size()));
    }

    // The sample dialog cancelled: the module is held, Format and Size show it, and
    // on the first load the info fields stay disabled.
    void md1SamplesCancelled()
    {
        const QString module = path("digi.md1");
        writeFile(module, atariModule(0x4000, 0x47FF, 2054));
        QByteArray sample(1056, '\x22');
        sample[0] = 0x20;
        writeFile(path("digi.d15"), sample);

        load(module, std::nullopt);
        QCOMPARE(dialogs->runsOf("ODS"), 1);
        QCOMPARE(state->moduleLoaded, 1);
        QCOMPARE(values(), QStringList({"md1", "2054", "n/o"}));
        QVERIFY(infoEnabled(false));
        QVERIFY(dialogs->messages.empty());

        // Such a module cannot be saved without its samples: one message, nothing written
        w->SaveSAPfile1->trigger();
        QCOMPARE(dialogs->messages.size(), std::size_t(1));
        QCOMPARE(dialogs->messages[0].kind, MessageKind::Error);
        QVERIFY(!QFile::exists(path("digi.SAP")));

        // Loaded again with its samples it converts
        load(module, path("digi.d15"));
        QVERIFY(infoEnabled(true));
        w->SaveSAPfile1->trigger();
        QVERIFY(QFile::exists(path("digi.SAP")));
        QCOMPARE(dialogs->messages.size(), std::size_t(1));

        // Once enabled, a later cancelled sample dialog leaves the fields enabled
        load(module, std::nullopt);
        QVERIFY(infoEnabled(true));
        QCOMPARE(w->Label15->text(), QString("n/o"));
    }

    void adrConflict_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("conflict");
        QTest::newRow("shared page 3F") << 0x2000 << 0x3FFF << 0x40 << true;
        QTest::newRow("next page") << 0x2000 << 0x3FFF << 0x41 << false;
        QTest::newRow("module above") << 0x8000 << 0x9FFF << 0x40 << false;
        QTest::newRow("inside") << 0x4100 << 0x41FF << 0x40 << true;
    }

    // Overlapping pages: exactly one message box with the warning; the load goes on.
    void adrConflict()
    {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(int, page);
        QFETCH(bool, conflict);
        writeFile(path("m.md1"), atariModule(start, end, 300));
        QByteArray sample(1056, '\x33');
        sample[0] = static_cast<char>(page);
        writeFile(path("m.d15"), sample);

        load(path("m.md1"), path("m.d15"));
        if (conflict) {
            QCOMPARE(dialogs->messages.size(), std::size_t(1));
            QCOMPARE(dialogs->messages[0].kind, MessageKind::Notice);
            QCOMPARE(dialogs->messages[0].text, QString("ADR conflict detected! (SAP failure?)"));
        } else {
            QVERIFY(dialogs->messages.empty());
        }
        QVERIFY(infoEnabled(true));
        QCOMPARE(state->moduleLoaded, 1);
        w->SaveSAPfile1->trigger();
        QVERIFY(QFile::exists(path("m.SAP")));
        QCOMPARE(dialogs->messages.size(), std::size_t(conflict ? 1 : 0));
    }

    void errors_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing player file") << "player";
        QTest::newRow("unknown extension") << "extension";
        QTest::newRow("module that does not exist") << "missing";
        QTest::newRow("module that is a folder") << "folder";
        QTest::newRow("sample file that does not exist") << "sample";
        QTest::newRow("module too large") << "large";
    }

    // Each engine error shows one message, writes nothing and leaves the window
    // ready for the next command.
    void errors()
    {
        QFETCH(QString, kind);
        const QString good = path("good.mpt");
        writeFile(good, atariModule(0x4000, 0x40FF, 262));

        if (kind == "player") {
            QFile::remove(players + "/mpt_0500.plr");
            load(good);
            QVERIFY(dialogs->messages.empty());
            w->Edit1->setText("");
            w->SaveSAPfile1->trigger();
            QCOMPARE(dialogs->messages.size(), std::size_t(1));
            QVERIFY(dialogs->messages[0].text.contains("mpt_0500.plr"));
            QVERIFY(!QFile::exists(path("good.SAP")));
            QCOMPARE(state->moduleLoaded, 1);  // still loaded: the save can be tried again
            QCOMPARE(w->Edit1->text(), QString());  // the replacement text is taken back
            QCOMPARE(w->Label15->text(), QString("n/o"));
            testing_ui::writePlayers(players);
            w->SaveSAPfile1->trigger();
            QVERIFY(QFile::exists(path("good.SAP")));
            QCOMPARE(dialogs->messages.size(), std::size_t(1));
            return;
        }
        if (kind == "extension") {
            writeFile(path("tune.xyz"), atariModule(0x4000, 0x40FF, 262));
            load(path("tune.xyz"));
            QCOMPARE(values(), QStringList({"xyz", "262", "n/o"}));
            w->SaveSAPfile1->trigger();
            saveAs(path("tune-as.sap"));
            QCOMPARE(dialogs->messages.size(), std::size_t(2));
            QVERIFY(dialogs->messages[0].text.contains("tune.xyz"));
            QVERIFY(!QFile::exists(path("tune.SAP")) && !QFile::exists(path("tune-as.sap")));
        } else if (kind == "missing" || kind == "folder") {
            const QString module = kind == "missing" ? path("gone.mpt") : path("folder.mpt");
            if (kind == "folder")
                QVERIFY(QDir().mkpath(module));
            load(module);
            QCOMPARE(dialogs->messages.size(), std::size_t(1));
            QCOMPARE(dialogs->messages[0].kind, MessageKind::Error);
            QVERIFY(dialogs->messages[0].text.contains(module));
            QVERIFY(infoEnabled(false));
            QCOMPARE(values(), QStringList({"none", "n/o", "n/o"}));
            QCOMPARE(state->moduleLoaded, 0);
            w->SaveSAPfile1->trigger();
            QCOMPARE(dialogs->messages.size(), std::size_t(1));
        } else if (kind == "sample") {
            writeFile(path("d.md1"), atariModule(0x4000, 0x40FF, 262));
            load(path("d.md1"), path("no such.d15"));
            QCOMPARE(dialogs->messages.size(), std::size_t(1));
            QVERIFY(dialogs->messages[0].text.contains("no such.d15"));
            QVERIFY(infoEnabled(false));
            QCOMPARE(values(), QStringList({"md1", "262", "n/o"}));
        } else if (kind == "large") {
            writeFile(path("big.mpt"), atariModule(0x4000, 0x40FF, 130000));
            load(path("big.mpt"));
            QCOMPARE(values(), QStringList({"mpt", "130000", "n/o"}));
            QVERIFY(dialogs->messages.empty());
            w->SaveSAPfile1->trigger();
            QCOMPARE(dialogs->messages.size(), std::size_t(1));
            QVERIFY(!QFile::exists(path("big.SAP")));
        }
        for (const auto& m : dialogs->messages)
            QVERIFY(!m.text.isEmpty());

        // The window goes on: a good module loads and saves
        const std::size_t shown = dialogs->messages.size();
        load(good);
        QVERIFY(infoEnabled(true));
        w->SaveSAPfile1->trigger();
        QVERIFY(QFile::exists(path("good.SAP")));
        QCOMPARE(dialogs->messages.size(), shown);
    }

    void sameBytesAsPlainConversion_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("speed");
        QTest::addColumn<bool>("derived");
        QTest::newRow("cmc") << "tune.cmc" << 0x5000 << 0 << false;
        QTest::newRow("cmc low") << "Tune.CMC" << 0x0F00 << 0 << true;
        QTest::newRow("mpt") << "tune.mpt" << 0x4000 << 0 << true;
        QTest::newRow("mpt high player") << "tune.MPT" << 0x0800 << 0 << false;
        QTest::newRow("md1") << "tune.md1" << 0x6000 << 0 << true;
        QTest::newRow("tmc 1") << "tune.tmc" << 0x3000 << 1 << false;
        QTest::newRow("tmc 2") << "tune.tmc" << 0x3000 << 2 << true;
        QTest::newRow("tmc 3") << "tune.TMC" << 0x3000 << 3 << false;
        QTest::newRow("tmc 4") << "tune.tmc" << 0x3000 << 4 << true;
        QTest::newRow("tm8 3") << "tune.tm8" << 0x3000 << 3 << true;
        QTest::newRow("com") << "tune.com" << 0x2000 << 0 << false;
    }

    // The window and a plain window drive the same engine: the files are equal,
    // 8-bit texts and paths with letters beyond ASCII included.
    void sameBytesAsPlainConversion()
    {
        QFETCH(QString, file);
        QFETCH(int, start);
        QFETCH(int, speed);
        QFETCH(bool, derived);

        const QString folder = path("Łódź tunes");
        QVERIFY(QDir().mkpath(folder));
        const QString module = folder + "/" + file;
        QByteArray bytes8 = atariModule(start, start + 0x3FF, 1030);
        if (speed)
            bytes8[37] = static_cast<char>(speed);
        writeFile(module, bytes8);
        std::optional<QString> samples;
        if (file.endsWith(".md1", Qt::CaseInsensitive)) {
            QByteArray sample(1000, '\x44');
            sample[0] = 0x30;
            writeFile(folder + "/tune.d15", sample);
            samples = folder + "/tune.d15";
        }
        const QString name = QString::fromUtf8("Žluťoučký kůň");
        const QString author = QString::fromUtf8("Dvořák's 'Ō'");  // Ō is not in the code page
        const QString date = "1999";

        load(module, samples);
        w->Edit1->setText(name);
        w->Edit2->setText(author);
        w->Edit3->setText(date);
        QString windowFile;
        if (derived) {
            w->SaveSAPfile1->trigger();
            windowFile = w->SD.fileName;
            QCOMPARE(windowFile, module.left(module.size() - 4) + ".SAP");
        } else {
            windowFile = path("from window.sap");
            saveAs(windowFile);
        }
        QVERIFY2(dialogs->messages.empty(), qPrintable(dialogs->messageTexts().join("; ")));
        const QByteArray fromWindow = readFile(windowFile);
        QVERIFY(!fromWindow.isEmpty());
        QFile::remove(windowFile);

        const QByteArray fromPlain = plainConversion(
            module, samples, name, author, date, derived ? std::nullopt : std::optional<QString>(path("plain.sap")));
        QVERIFY(!fromPlain.isEmpty());
        QCOMPARE(fromWindow, fromPlain);
        QVERIFY(fromWindow.contains("NAME  '" + QByteArray::fromStdString(orvex::utf8ToWindows1250(name.toStdString()))
                                    + "'\r\n"));
        QVERIFY(fromWindow.contains("AUTHOR  'Dvo\xF8\xE1k's '?''\r\n"));
    }

    // The scratch edit takes byte positions of the 8-bit path and keeps the
    // selection inside the text, as an edit box does.
    void scratchSelection()
    {
        auto derive = [this](const QString& text, int start, int length, const QString& with) {
            w->setScratchText(QFile::encodeName(text).toStdString());
            w->setScratchSelection(start, length);
            w->replaceScratchSelection(QFile::encodeName(with).toStdString());
            return QFile::decodeName(QByteArray::fromStdString(w->scratchText()));
        };
        auto plainDerive = [](const std::string& text, int start, int length, const std::string& with) {
            orvex::PlainWindow plain;
            plain.setScratchText(text);
            plain.setScratchSelection(start, length);
            plain.replaceScratchSelection(with);
            return plain.scratchText();
        };

        const QString pathText = QString::fromUtf8("/tmp/Łódź/žluťák.mpt");
        const int size = static_cast<int>(QFile::encodeName(pathText).size());
        QCOMPARE(derive(pathText, size - 4, 4, ".SAP"), QString::fromUtf8("/tmp/Łódź/žluťák.SAP"));
        QCOMPARE(w->Edit4->text(), QString::fromUtf8("/tmp/Łódź/žluťák.SAP"));

        // Clamped like an edit box, the same as a plain window for ASCII paths
        const struct {
            const char* text;
            int start, length;
        } cases[] = {{"/a/b.mpt", 4, 4}, {"abc", -1, 4}, {"ab", -2, 4}, {"", -4, 4}, {"abcdef", 10, 4},
                     {"abcdef", 2, 100}, {"abcdef", 3, -5}, {"x.tmc", 1, 4}};
        for (const auto& c : cases) {
            const std::string expected = plainDerive(c.text, c.start, c.length, ".SAP");
            QCOMPARE(derive(QString::fromLatin1(c.text), c.start, c.length, ".SAP"),
                     QString::fromStdString(expected));
        }

        // A position inside a character counts from that character's start
        QCOMPARE(derive(QString::fromUtf8("€€"), 2, 4, ".SAP"), QString(".SAP"));
        QCOMPARE(derive(QString::fromUtf8("a€"), 2, 2, "X"), QString("aX"));
    }

    // The info boxes' texts are Central European 8-bit text in the header.
    void textsAre8Bit()
    {
        w->Edit1->setText(QString::fromUtf8("Příliš žluťoučký"));
        QCOMPARE(QByteArray::fromStdString(w->nameText()), QByteArray("P\xF8\xED\x6Ci\x9A \x9Elu\x9Do\x75\xE8k\xFD"));
        w->setAuthorText("\x8A\x9D\x9E");
        QCOMPARE(w->Edit2->text(), QString::fromUtf8("Šťž"));
        w->Edit3->setText(QString::fromUtf8("日本"));
        QCOMPARE(w->dateText(), std::string("??"));
    }
};

QTEST_MAIN(ConversionTest)
#include "tst_conversion.moc"
