// The main window as the user works it: the label menu bar, the option and its LEDs, the
// states of the info and value areas, the tab order, and saves equal to the plain
// conversion.

#include "window_fixture.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

#include <memory>

using namespace support;

class MainWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> f;

private slots:
    void initTestCase() { quietPlatformNotes(); }
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup()
    {
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        f.reset();
    }

    void menus_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QPoint>("offset");  // of the menu from the window's outer top-left corner
        QTest::newRow("FILE left") << "FILE" << Qt::LeftButton << QPoint(26, 46);
        QTest::newRow("FILE right") << "FILE" << Qt::RightButton << QPoint(26, 46);
        QTest::newRow("OPTIONS left") << "OPTIONS" << Qt::LeftButton << QPoint(71, 46);
        QTest::newRow("OPTIONS middle") << "OPTIONS" << Qt::MiddleButton << QPoint(71, 46);
        QTest::newRow("HELP left") << "HELP" << Qt::LeftButton << QPoint(138, 46);
        QTest::newRow("HELP right") << "HELP" << Qt::RightButton << QPoint(138, 46);
    }

    // Navy while pressed, black after the release, and the menu just below its title,
    // also after the window has moved.
    void menus()
    {
        QFETCH(QString, title);
        QFETCH(Qt::MouseButton, button);
        QFETCH(QPoint, offset);
        Label* label = title == "FILE" ? f->w.Label9 : title == "OPTIONS" ? f->w.Label10 : f->w.Label11;
        QMenu* menu = title == "FILE" ? f->w.Filemen : title == "OPTIONS" ? f->w.Optiomen : f->w.Helpmen;
        for (const QPoint corner : {QPoint(40, 30), QPoint(250, 170)}) {
            f->showAt(corner);
            QTest::mousePress(label, button, {}, QPoint(3, 3));
            QCOMPARE(label->fontColor(), QColor(0, 0, 128));
            QVERIFY(!menu->isVisible());
            QTest::mouseRelease(label, button, {}, QPoint(3, 3));
            QCOMPARE(label->fontColor(), QColor(0, 0, 0));
            QTRY_VERIFY(menu->isVisible());
            QCOMPARE(menu->frameGeometry().topLeft(), corner + offset);
            menu->close();
        }
    }

    void option_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<bool>("on");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("dark LED") << QStringList{"ledoff"} << true;
        QTest::newRow("dark, lit LED") << QStringList{"ledoff", "ledon"} << false;
        QTest::newRow("menu item") << QStringList{"ox"} << true;
        QTest::newRow("menu item twice") << QStringList{"ox", "ox"} << false;
        QTest::newRow("dark LED, menu item") << QStringList{"ledoff", "ox"} << false;
        QTest::newRow("menu item, lit LED, menu item") << QStringList{"ox", "ledon", "ox"} << true;
    }

    // The check mark and the two LEDs always agree; one LED shows at a time.
    void option()
    {
        QFETCH(QStringList, clicks);
        QFETCH(bool, on);
        f->showAt({40, 30});
        for (const QString& click : clicks) {
            if (click == "ox")
                f->w.ox->trigger();
            else
                QTest::mouseClick(click == "ledon" ? f->w.ledon : f->w.ledoff, Qt::LeftButton, {}, QPoint(8, 8));
            QCOMPARE(f->w.ledon->isVisible(), f->w.ox->isChecked());
            QCOMPARE(f->w.ledoff->isVisible(), !f->w.ox->isChecked());
        }
        QCOMPARE(f->w.ox->isChecked(), on);
        QTest::mouseClick(f->w.Label12, Qt::LeftButton, {}, QPoint(3, 3));  // the caption does nothing
        QCOMPARE(f->w.ox->isChecked(), on);
    }

    void states_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QStringList>("values");  // Format, Size, SAP
        QTest::newRow("before a load") << QStringList{} << false << QStringList{"none", "n/o", "n/o"};
        QTest::newRow("samples cancelled") << QStringList{"load md1"} << false << QStringList{"md1", "300", "n/o"};
        QTest::newRow("loaded") << QStringList{"load"} << true << QStringList{"mpt", "300", "n/o"};
        QTest::newRow("saved") << QStringList{"load", "save"} << true << QStringList{"mpt", "300", "809"};
        QTest::newRow("HERE") << QStringList{"load", "save", "here"} << true << QStringList{"mpt", "300", "809"};
        QTest::newRow("loaded again") << QStringList{"load", "save", "load"} << true << QStringList{"mpt", "300", "n/o"};
    }

    void states()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, enabled);
        QFETCH(QStringList, values);
        f->putPlayers();
        f->showAt({40, 30});
        const std::string song = f->bench.put("song.mpt", module(0x2000, 300));
        f->w.Edit1->setText("Name");
        for (const QString& step : steps) {
            if (step == "load md1")
                f->load(f->bench.put("song.md1", module(0x2000, 300)));
            else if (step == "load")
                f->load(song);
            else if (step == "save")
                f->w.SaveSAPfile1->trigger();
            else
                QTest::mouseClick(f->w.Button1, Qt::LeftButton);
        }
        const TSW& w = f->w;
        for (QWidget* control : QWidgetList{w.Label1, w.Label2, w.Label3, w.Label7, w.Edit1, w.Edit2, w.Edit3, w.Button1, w.Label4,
                                 w.Label5, w.Label6, w.Label13, w.Label14, w.Label15})
            QCOMPARE(control->isEnabled(), enabled);
        QCOMPARE(QStringList({f->w.Label13->text(), f->w.Label14->text(), f->w.Label15->text()}), values);
        const bool here = steps.contains("here");
        QCOMPARE(f->w.Edit1->text() + f->w.Edit2->text() + f->w.Edit3->text(),
                 here ? "" : steps.contains("save") ? "NameUnknown<?>" : "Name");
        QCOMPARE(f->bench.state->moduleLoaded, steps.isEmpty() || steps.last() == "save" || here ? 0 : 1);
        QCOMPARE(f->dialogs.messages, QStringList());
    }

    void tabOrder()
    {
        f->w.enableInfoFields();
        f->w.show();
        f->w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f->w));
        f->w.Edit1->setFocus();
        for (QWidget* next : QList<QWidget*>{f->w.Edit2, f->w.Edit3, f->w.Button1, f->w.Edit1}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
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

    void sameBytesAsThePlainConversion_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("saveAs");
        QTest::newRow("cmc") << "a.cmc" << false;
        QTest::newRow("mpt") << "b.MPT" << true;
        QTest::newRow("md1") << "c.md1" << false;
        QTest::newRow("tmc") << "d.tmc" << true;
        QTest::newRow("tm8") << "e.tm8" << false;
        QTest::newRow("com") << "f.com" << true;
    }

    // The window writes what the engine writes; its texts go in the 8-bit code page.
    void sameBytesAsThePlainConversion()
    {
        QFETCH(QString, file);
        QFETCH(bool, saveAs);
        f->putPlayers();
        const bool digi = file.endsWith(".md1");
        const std::string song = f->bench.put(file.toStdString(), module(0x2000, 300, 2));
        const std::string samples = f->bench.put("s.d15", d15(0x40, 288));
        f->load(song, digi ? std::optional(samples) : std::nullopt);
        f->w.Edit1->setText(QString::fromUtf8("Pi\u0119\u0107"));
        f->w.Edit2->setText("Me");
        const std::string sap = f->bench.dir / "window.sap";
        if (saveAs) {
            f->dialogs.answers["SD"] << QString::fromStdString(sap);
            f->w.SaveSAPfileas1->trigger();
        } else {
            f->w.SaveSAPfile1->trigger();
            std::filesystem::rename(song.substr(0, song.size() - 4) + ".SAP", sap);
        }
        Bench plain;
        for (const char* name : {"cmc_0500.plr", "mpt_0500.plr", "tmc_0500.plr"})
            plain.putPlayer(name, readFile(f->bench.players + "/" + name));
        plain.window.name = "Pi\xEA\xE6";
        plain.window.author = "Me";
        const Bytes expected = plain.convert(file.toStdString(), module(0x2000, 300, 2),
                                             digi ? std::optional(d15(0x40, 288)) : std::nullopt);
        QVERIFY(readFile(sap) == expected);
        QCOMPARE(f->dialogs.messages, QStringList());
    }

    // One message box per error or warning.
    void messages()
    {
        f->load(f->bench.put("song.md1", atariFile(0x2000, Bytes(0x2000, 1))), f->bench.put("s.d15", d15(0x40, 1056)));
        f->w.SaveSAPfile1->trigger();
        QCOMPARE(f->dialogs.messages,
                 QStringList({"notice: ADR conflict detected! (SAP failure?)",
                              "error: Cannot read the player file \"" + QString::fromStdString(f->bench.players)
                                  + "/mpt_0500.plr\": No such file or directory."}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
