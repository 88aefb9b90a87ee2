// The window's File > "Listen" and "Export audio..." and its Options "TIME at save" and
// "Standard header": playing through a real sound server (PulseAudio with a null sink,
// recorded from its monitor), no sound server, the refusals, and files equal to those of
// orvex-convert. Run as two programs: `soundServer` alone, the others without a server.

#include "window_fixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>
#include <filesystem>

using namespace support;

namespace {

constexpr int kRate = 44100;
constexpr double kTonePitch = 989.65;  // the test tune held_tone: AUDF1 $1F on the 64 kHz clock of a PAL machine

// A PulseAudio server of the test's own, its runtime files in a temporary folder, with
// one sink that plays into nothing: what the sink plays is recorded from its monitor.
struct SoundServer {
    QTemporaryDir dir;
    QProcess pulse;
    QString socket = dir.filePath("native");

    bool start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "PULSE_RUNTIME_PATH"})
            env.insert(name, dir.path());
        pulse.setProcessEnvironment(env);
        pulse.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--load=module-null-sink sink_name=orvex",
                                   "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket});
        for (int tries = 0; tries < 100 && pulse.state() != QProcess::NotRunning; ++tries) {
            if (QFileInfo::exists(socket))
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    ~SoundServer()
    {
        pulse.kill();
        pulse.waitForFinished();
    }
};

} // namespace

class AudioMenuTest : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> f;
    std::string tone;

    std::string put(const std::string& name, const std::string& from)
    {
        return f->bench.put(name, readFile(from));
    }
    // A save of the loaded module now, as "Save SAP file" makes it, read from disk
    Bytes save(const std::string& module)
    {
        f->w.SaveSAPfile1->trigger();
        return readFile(module.substr(0, module.size() - 4) + ".SAP");
    }
    // What orvex-convert writes for the module with these options
    Bytes convert(const std::string& module, const QStringList& options, const std::string& output)
    {
        std::vector<std::string> argv{ORVEX_CONVERT};
        for (const QString& option : options)
            argv.push_back(option.toStdString());
        argv.insert(argv.end(), {"-p", f->bench.players, "-o", output, module});
        const Outcome done = run(argv);
        if (done.status != 0)
            qWarning("%s", done.err.c_str());
        return done.status == 0 ? readFile(output) : Bytes();
    }

private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>();
        tone = put("tone.com", TONE);
    }
    void cleanup() { f.reset(); }

    // Listen plays the tune at its pitch through the sound server, and falls silent
    // within 200 ms of "Stop listening"; the load is not used up.
    void soundServer()
    {
        SoundServer server;
        QVERIFY2(server.start(), "PulseAudio cannot be started");
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(server.socket));
        QProcess parec;
        parec.start("parec", {"--server=unix:" + server.socket, "-d", "orvex.monitor", "--raw", "--format=s16le",
                              "--rate=44100", "--channels=1", "--latency-msec=10"});
        QVERIFY(parec.waitForStarted());
        // The null sink plays its first 2 seconds in one block; the recording flows after it.
        QByteArray recorded;
        QTRY_VERIFY_WITH_TIMEOUT((recorded += parec.readAllStandardOutput()).size() > 0, 10000);
        QTest::qWait(300);
        f->load(tone);
        recorded += parec.readAllStandardOutput();
        const qsizetype before = recorded.size();
        f->w.Listen1->trigger();
        QCOMPARE(f->w.Listen1->text(), "Stop listening");
        QTest::qWait(1500);
        recorded += parec.readAllStandardOutput();
        const std::size_t stop = static_cast<std::size_t>(recorded.size()) / 2;
        f->w.Listen1->trigger();
        QCOMPARE(f->w.Listen1->text(), "Listen");
        QTest::qWait(700);
        recorded += parec.readAllStandardOutput();
        parec.kill();
        parec.waitForFinished();

        std::vector<std::int16_t> s(static_cast<std::size_t>(recorded.size()) / 2);  // 16-bit mono
        std::memcpy(s.data(), recorded.data(), s.size() * 2);
        std::size_t sound = static_cast<std::size_t>(before) / 2;
        while (sound < stop && std::abs(s[sound]) < 1000)
            ++sound;
        QVERIFY2(sound + kRate / 2 + kRate / 10 < stop, "no half second of sound before the stop");
        const double heard = toneFrequency({s.begin() + sound + kRate / 10, s.begin() + sound + kRate * 6 / 10}, kRate);
        QVERIFY2(std::abs(heard / kTonePitch - 1) < 0.003, qPrintable(QString::number(heard)));
        const std::size_t quiet = stop + kRate / 5;
        QVERIFY(s.size() > quiet + kRate / 4);
        for (std::size_t i = quiet; i < s.size(); ++i)
            QVERIFY2(std::abs(s[i]) < 64, qPrintable(QString("sound %1 ms after the stop").arg((i - stop) * 1000 / kRate)));
        QCOMPARE(f->dialogs.messages, QStringList());
        QVERIFY(save(tone) == Bench().convert("tone.com", readFile(tone)));

        // A tune that ends after 198 calls (some 4 seconds) stops by itself; a new load
        // stops the listening.
        f->load(put("ends.com", TUNES "/ends.com"));
        f->w.Listen1->trigger();
        QTest::qWait(3000);
        QCOMPARE(f->w.Listen1->text(), "Stop listening");
        QTRY_COMPARE_WITH_TIMEOUT(f->w.Listen1->text(), "Listen", 5000);
        f->w.Listen1->trigger();
        f->load(tone);
        QCOMPARE(f->w.Listen1->text(), "Listen");
        QCOMPARE(f->dialogs.messages, QStringList());
    }

    // With no sound server, Listen says so, once, and a save afterwards works.
    void noSoundServer()
    {
        qputenv("PULSE_SERVER", "unix:" + QByteArray::fromStdString(f->bench.dir / "no-server"));
        f->load(tone);
        f->w.Listen1->trigger();
        QCOMPARE(f->dialogs.messages, QStringList{"error: There is no sound output to play the tune through."});
        QCOMPARE(f->w.Listen1->text(), "Listen");
        QVERIFY(save(tone) == Bench().convert("tone.com", readFile(tone)));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("module");  // "": none loaded
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing loaded") << "" << "error: No module is loaded (each load allows one save): load one with \"Load Atari MSX\" first.";
        QTest::newRow("no player file") << "a.cmc" << "error: Cannot read the player file";
        QTest::newRow("TYPE D") << "a.md1" << "error: A TYPE D module (.MD1) cannot be";
    }

    // Listen and Export audio refuse with one message, and change nothing.
    void refusals()
    {
        QFETCH(QString, module);
        QFETCH(QString, message);
        f->bench.putPlayer("mpt_0500.plr", player(400));
        if (!module.isEmpty()) {
            f->dialogs.answers["ODS"] << QString::fromStdString(f->bench.put("a.d15", d15(0x90, 100)));
            f->load(f->bench.put(module.toStdString(), support::module(0x2000, 300)));
        }
        const auto listed = f->bench.dir.listing();
        const orvex::SaveState state = *f->bench.state;
        for (QAction* item : {f->w.Listen1, f->w.ExportAudio1}) {
            f->dialogs.messages.clear();
            item->trigger();
            QCOMPARE(f->dialogs.messages.size(), 1);
            QVERIFY2(f->dialogs.messages[0].startsWith(message), qPrintable(f->dialogs.messages[0]));
        }
        QCOMPARE(f->w.Listen1->text(), "Listen");
        QVERIFY(f->bench.dir.listing() == listed);
        QVERIFY(static_cast<orvex::SaveState&>(*f->bench.state) == state);
        QCOMPARE(f->bench.state->moduleLoaded, module.isEmpty() ? 0 : 1);
    }

    void exportAudio_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("extension");
        QTest::newRow("wav") << 0 << "wav";
        QTest::newRow("flac") << 1 << "flac";
    }

    // Export audio writes what orvex-convert --audio writes, under the module's name by
    // default, and leaves the load for a save.
    void exportAudio()
    {
        QFETCH(int, filter);
        QFETCH(QString, extension);
        f->load(tone);
        f->w.Edit1->setText(u"Zażółć"_qs);
        f->w.Edit2->setText("Me");
        f->w.AD.filterIndex = filter;
        f->w.ExportAudio1->trigger();  // cancelled
        QCOMPARE(f->w.AD.fileName, QString::fromStdString(f->bench.dir / "tone.") + extension);
        const std::string file = f->bench.dir / "window." + extension.toStdString();
        f->dialogs.answers["AD"] << QString::fromStdString(file);
        f->w.ExportAudio1->trigger();
        QCOMPARE(f->dialogs.messages, QStringList());
        const std::string cli = f->bench.dir / "cli/tone.sap";
        std::filesystem::create_directory(f->bench.dir / "cli");
        QVERIFY(save(tone) == convert(tone, {"--audio", extension, "-n", u"Zażółć"_qs, "-a", "Me"}, cli));
        QVERIFY(readFile(file) == readFile(f->bench.dir / "cli/tone." + extension.toStdString()));
    }

    // Export audio never writes over a file that the save reads: the module stays as it is.
    void exportOverModule()
    {
        f->load(tone);
        f->dialogs.answers["AD"] << QString::fromStdString(tone);
        f->w.ExportAudio1->trigger();
        QCOMPARE(f->dialogs.messages, QStringList{"error: The audio file \"" + QString::fromStdString(tone)
                                                  + "\" is the module file \"" + QString::fromStdString(tone)
                                                  + "\" that this save reads; it is left as it is."});
        QVERIFY(readFile(tone) == readFile(TONE));
    }

    void options_data()
    {
        QTest::addColumn<QString>("tune");
        QTest::addColumn<bool>("time");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QStringList>("cliOptions");
        QTest::addColumn<QString>("notice");
        QTest::newRow("both off") << "intro_loop" << false << false << QStringList{} << "";
        QTest::newRow("TIME at save") << "intro_loop" << true << false << QStringList{"--time"} << "";
        QTest::newRow("TIME at save, none found") << "random_notes" << true << false << QStringList{"--time"}
            << "notice: The SAP file has no TIME line: neither an end nor a loop was found within 20 minutes.";
        QTest::newRow("Standard header") << "intro_loop" << false << true << QStringList{"--standard-header"}
            << u"notice: The standard SAP header holds printable ASCII only; other characters are written in their "
               u"ASCII forms, or as \"?\".\n\nName: \"Zażółć 日本\" is written as \"Zazolc ri ben\"."_qs;
        QTest::newRow("both") << "intro_loop" << true << true << QStringList{"--time", "--standard-header"} << "";
    }

    // The options are off at start; on, a save writes what orvex-convert writes with
    // their options.
    void options()
    {
        QFETCH(QString, tune);
        QFETCH(bool, time);
        QFETCH(bool, standard);
        QFETCH(QStringList, cliOptions);
        QFETCH(QString, notice);
        QVERIFY(!f->w.TimeAtSave1->isChecked() && !f->w.StandardHeader1->isChecked());
        const std::string song = put("song.com", TUNES "/" + tune.toStdString() + ".com");
        f->load(song);
        const QString name = standard && !time ? u"Zażółć 日本"_qs : "Song";
        f->w.Edit1->setText(name);
        if (time)
            f->w.TimeAtSave1->trigger();
        if (standard)
            f->w.StandardHeader1->trigger();
        const Bytes saved = save(song);
        QVERIFY(saved == convert(song, cliOptions << "-n" << name, f->bench.dir / "cli.sap"));
        QCOMPARE(f->dialogs.messages, notice.isEmpty() ? QStringList() : QStringList{notice});
    }
};

QTEST_MAIN(AudioMenuTest)
#include "audio_menu_test.moc"
