// The main window as the user works it: the bevels, the pictures, the option and its
// LEDs, the states of the info and value areas after loads, drops and saves, the tab
// order, the characters the header cannot hold, and saves equal to the plain conversion.

#include "window_fixture.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>
#include <QTest>

#include <sys/stat.h>

#include <memory>

using namespace support;

class MainWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> f;

    // Files of the test's folder dragged from a file manager (as links and as text) and
    // dropped on the control `target`: the window passes the drop to the control under it.
    void drop(const QString& target, const QStringList& names)
    {
        QMimeData data;
        for (const QString& name : names)
            data.setUrls(data.urls() << QUrl::fromLocalFile(QString::fromStdString(f->bench.dir / name.toStdString())));
        data.setText(data.urls().front().toLocalFile());
        const QPoint at = f->w.findChild<QWidget*>(target)->mapTo(&f->w, QPoint(3, 3));
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(f->w.windowHandle(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(f->w.windowHandle(), &drop);
    }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    // The bevels around the info and the value areas, as the window shows them: single
    // lowered lines, shadow on the top and left, light on the bottom and right.
    void bevels()
    {
        const QImage window = f->w.grab().toImage();
        // Of each area, a point of the top or left line and one of the bottom or right line
        const QPoint lines[][2] = {{{60, 32}, {60, 117}}, {{8, 100}, {224, 100}},      // info
                                   {{300, 32}, {300, 117}}, {{232, 100}, {328, 100}}};  // values
        for (const auto& [shadow, light] : lines) {
            QCOMPARE(window.pixelColor(shadow), QColor(128, 128, 128));
            QCOMPARE(window.pixelColor(light), QColor(255, 255, 255));
        }
    }

    // The pictures drawn transparent: where a picture has its key colour (that of its
    // bottom-left pixel), or the control is larger than the picture, the window shows
    // what lies behind it; elsewhere the picture.
    void transparentPictures()
    {
        f->showAt({40, 30});
        const QColor white(255, 255, 255), olive(128, 128, 0);
        const std::pair<Picture*, QColor> pictures[] = {{f->w.Image2, white}, {f->w.Image4, white}, {f->w.ledoff, olive}};
        for (const auto& [picture, key] : pictures) {
            for (const auto& other : pictures)
                other.first->hide();
            const QImage own(picture->picture()), behind = f->w.grab().toImage();
            picture->show();
            const QImage shown = f->w.grab().toImage();
            QCOMPARE(own.pixelColor(0, own.height() - 1), key);
            for (int y = 0; y < picture->height(); ++y) {
                for (int x = 0; x < picture->width(); ++x) {
                    const QPoint at = picture->mapTo(&f->w, QPoint(x, y));
                    const bool clear = !own.valid(x, y) || own.pixelColor(x, y) == key;
                    QCOMPARE(shown.pixelColor(at), clear ? behind.pixelColor(at) : own.pixelColor(x, y));
                }
            }
        }
    }

    void states_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("enabled");
        // Format|Size|SAP|the boxes|moduleLoaded|the option|the error messages shown
        QTest::addColumn<QString>("values");
        const QString atStart = "none|n/o|n/o|Name|0|off|0";
        QTest::newRow("before a load") << "" << false << atStart;
        QTest::newRow("loaded") << "load song.mpt" << true << "mpt|300|n/o|Name|1|off|0";
        QTest::newRow("saved") << "load song.mpt, save" << true << "mpt|300|809|NameUnknown<?>|0|off|0";
        QTest::newRow("HERE") << "load song.mpt, save, here" << true << "mpt|300|809||0|off|0";
        QTest::newRow("again") << "load song.mpt, save, load song.mpt" << true << "mpt|300|n/o|NameUnknown<?>|1|off|0";
        // A load that is refused leaves nothing loaded: the window is as at start; one
        // cancelled changes nothing, one without its samples leaves the boxes disabled.
        QTest::newRow("FIFO after a load") << "load song.mpt, load fifo.mpt" << false << "none|n/o|n/o|Name|0|off|1";
        QTest::newRow("text as .CMC, saved") << "load song.mpt, load notes.cmc, save" << false
                                             << "none|n/o|n/o|Name|0|off|1";
        QTest::newRow("missing after a save") << "load song.mpt, save, load missing.mpt" << false
                                              << "none|n/o|n/o|NameUnknown<?>|0|off|1";
        QTest::newRow("cancelled after a save") << "load song.mpt, save, cancel" << true
                                                << "mpt|300|809|NameUnknown<?>|0|off|0";
        QTest::newRow("samples cancelled after a load") << "load song.mpt, no samples, load song.md1" << false
                                                        << "md1|300|n/o|Name|1|off|0";
        // One module file dropped anywhere on the window loads as the menu does, the boxes
        // keeping their texts; nothing else loads.
        QTest::newRow("dropped") << "option, drop Image1 song.mpt" << true << "mpt|300|n/o||1|on|0";
        QTest::newRow("dropped .MD1 on Name") << "load song.mpt, drop Edit1 song.md1" << true << "md1|300|n/o|Name|1|off|0";
        QTest::newRow("dropped on Author") << "load song.md1, drop Edit2 song.mpt" << true << "mpt|300|n/o|Name|1|off|0";
        QTest::newRow("two dropped") << "option, drop Edit1 song.mpt song.md1" << false << "none|n/o|n/o|Name|0|on|0";
        QTest::newRow("folder dropped") << "load song.mpt, drop Edit1 players" << true << "mpt|300|n/o|Name|1|off|0";
        // The check mark and the two LEDs always agree; the caption beside them does nothing.
        QTest::newRow("dark LED") << "ledoff, caption" << false << "none|n/o|n/o|Name|0|on|0";
    }

    void states()
    {
        QFETCH(QString, steps);
        QFETCH(bool, enabled);
        QFETCH(QString, values);
        f->bench.putPlayers();
        f->showAt({40, 30});
        f->bench.put("song.mpt", module(0x2000, 300));
        f->bench.put("song.md1", module(0x2000, 300));
        f->bench.put("notes.cmc", bytesOf("notes\n"));
        QCOMPARE(mkfifo((f->bench.dir / "fifo.mpt").c_str(), 0600), 0);
        f->dialogs.answers["ODS"] << QString::fromStdString(f->bench.put("s.d15", d15(0x50, 288)));
        f->w.Edit1->setText("Name");
        for (const QString& step : steps.split(", ", Qt::SkipEmptyParts)) {
            if (step.startsWith("load "))
                f->load(f->bench.dir / step.mid(5).toStdString());
            else if (step == "cancel")
                f->w.LoadAtariMSX1->trigger();
            else if (step == "no samples")
                f->dialogs.answers["ODS"].clear();
            else if (step == "save")
                f->w.SaveSAPfile1->trigger();
            else if (step == "here")
                QTest::mouseClick(f->w.Button1, Qt::LeftButton);
            else if (step == "option")
                f->w.ox->trigger();
            else if (step.startsWith("drop"))
                drop(step.split(' ')[1], step.split(' ').mid(2));
            else  // an LED, or the caption beside them
                QTest::mouseClick(f->w.findChild<QWidget*>(step == "caption" ? "Label12" : step), Qt::LeftButton, {},
                                  QPoint(8, 8));
            QCOMPARE(f->w.ledon->isVisible(), f->w.ox->isChecked());
            QCOMPARE(f->w.ledoff->isVisible(), !f->w.ox->isChecked());
        }
        const TSW& w = f->w;
        for (QWidget* control : QWidgetList{w.Label1, w.Label2, w.Label3, w.Label7, w.Edit1, w.Edit2, w.Edit3, w.Button1,
                                            w.Label4, w.Label5, w.Label6, w.Label13, w.Label14, w.Label15})
            QCOMPARE(control->isEnabled(), enabled);
        QCOMPARE(QStringList({w.Label13->text(), w.Label14->text(), w.Label15->text(),
                              w.Edit1->text() + w.Edit2->text() + w.Edit3->text(),
                              QString::number(f->bench.state->moduleLoaded), w.ox->isChecked() ? "on" : "off",
                              QString::number(f->dialogs.messages.filter(QRegularExpression("^error: ")).size())})
                     .join('|'),
                 values);
        QCOMPARE(f->dialogs.messages.filter("notice: "), QStringList());
    }

    // After a load, from each box clicked: the control that takes the focus on Tab, Shift+Tab
    void tabOrder()
    {
        f->showAt({40, 30});
        f->w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f->w));
        f->load(f->bench.put("song.mpt", module(0x2000, 300)));
        const char* order[][3] = {{"Edit1", "Edit2", "Button1"}, {"Edit2", "Edit3", "Edit1"},
                                  {"Edit3", "Button1", "Edit2"}, {"Button1", "Edit1", "Edit3"}};
        for (const auto& [from, tab, backtab] : order) {
            QWidget* box = f->w.findChild<QWidget*>(from);
            for (const auto& [key, next] : {std::pair(Qt::Key_Tab, tab), std::pair(Qt::Key_Backtab, backtab)}) {
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 5));
                QCOMPARE(QApplication::focusWidget(), box);
                QTest::keyClick(box, key);
                QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
            }
        }
    }

    // Each box fills one header line: pasted text with a control character is refused.
    void pastedText()
    {
        f->w.Edit1->setText("Tune");
        for (const char* pasted : {"a\nb", "\x1B[2J", "\t", "\x7F", "\u0142"})
            f->w.Edit1->insert(QString::fromUtf8(pasted));
        QCOMPARE(f->w.Edit1->text(), QString::fromUtf8("Tune\u0142"));
    }

    void saves_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("saveAs");
        QTest::addColumn<QStringList>("texts");      // Name, Author, Date as typed
        QTest::addColumn<QByteArrayList>("header");  // as the header holds them, in Windows-1250
        QTest::addColumn<QString>("notice");         // what it names, after its first lines
        const QStringList typed{u"Pięć"_qs, "Me", ""};
        const QByteArrayList held{"Pi\xEA\xE6", "Me", ""};
        QTest::newRow("mpt") << "b.MPT" << true << typed << held << "";
        QTest::newRow("tmc, Japanese in the name")
            << "d.tmc" << true << QStringList{u"Zażółć 日本"_qs, "", ""} << QByteArrayList{"Za\xBF\xF3\xB3\xE6 ??", "", ""}
            << u"Name: \"Zażółć 日本\" is written as \"Zażółć ??\": '日' (U+65E5), '本' (U+672C)."_qs;
        QTest::newRow("tm8, author and date")
            << "e.tm8" << false << QStringList{"", u"Søren Ø ø"_qs, u"№ 5"_qs} << QByteArrayList{"", "S?ren ? ?", "? 5"}
            << u"Author: \"Søren Ø ø\" is written as \"S?ren ? ?\": 'ø' (U+00F8), 'Ø' (U+00D8).\n"
               u"Date: \"№ 5\" is written as \"? 5\": '№' (U+2116)."_qs;
    }

    // The window writes what the engine writes, its texts in the header's 8-bit code page.
    // Before the save, one notice names the characters typed that the header cannot hold
    // and what is written in their place.
    void saves()
    {
        QFETCH(QString, file);
        QFETCH(bool, saveAs);
        QFETCH(QStringList, texts);
        QFETCH(QByteArrayList, header);
        QFETCH(QString, notice);
        f->bench.putPlayers();
        const std::string song = f->bench.put(file.toStdString(), module(0x2000, 300, 2));
        f->load(song);
        for (QLineEdit* box : {f->w.Edit1, f->w.Edit2, f->w.Edit3})
            box->setText(texts.takeFirst());
        const std::string sap = f->bench.dir / "window.sap";
        if (saveAs) {
            f->dialogs.answers["SD"] << QString::fromStdString(sap);
            f->w.SaveSAPfileas1->trigger();
        } else {
            f->w.SaveSAPfile1->trigger();
            std::filesystem::rename(song.substr(0, song.size() - 4) + ".SAP", sap);
        }
        Bench plain;
        plain.putPlayers();
        for (std::string* text : {&plain.window.name, &plain.window.author, &plain.window.date})
            *text = header.takeFirst().toStdString();
        QVERIFY(readFile(sap) == plain.convert(file.toStdString(), module(0x2000, 300, 2)));
        QCOMPARE(f->dialogs.messages, notice.isEmpty() ? QStringList() : QStringList{
            "notice: The SAP header holds the characters of the Windows-1250 code page only; each other character is "
            "written as \"?\".\n\n" + notice});
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
