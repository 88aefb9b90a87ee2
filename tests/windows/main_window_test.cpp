// The main window as the user works it: the label menu bar, the option and its LEDs, the
// states of the info and value areas, the tab order, and saves equal to the plain
// conversion.

#include "frame.h"
#include "window_fixture.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QTest>

#include <memory>

using namespace support;

class MainWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> f;

    // Files of the test's folder dragged from a file manager and dropped on the window
    void drop(const QStringList& names)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& name : names)
            urls << QUrl::fromLocalFile(QString::fromStdString(f->bench.dir / name.toStdString()));
        data.setUrls(urls);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&f->w, &enter);
        QDropEvent drop({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&f->w, &drop);
    }

private slots:
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
        QTest::newRow("OPTIONS middle") << "OPTIONS" << Qt::MiddleButton << QPoint(71, 46);
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

    void framePoints_data()
    {
        QTest::addColumn<QMargins>("frame");  // left, top, right, bottom
        QTest::addColumn<QPoint>("file");     // where the FILE menu opens for a client area at (300, 200)
        QTest::addColumn<QPoint>("options");
        QTest::addColumn<QPoint>("centred");  // the client area's corner centring the frame on 1024 x 768
        QTest::newRow("no frame") << QMargins() << QPoint(326, 246) << QPoint(371, 246) << QPoint(343, 304);
        QTest::newRow("openbox") << QMargins(1, 21, 1, 5) << QPoint(325, 225) << QPoint(370, 225) << QPoint(343, 312);
        QTest::newRow("thick frame") << QMargins(4, 30, 6, 4) << QPoint(322, 216) << QPoint(367, 216) << QPoint(342, 317);
    }

    // The menu points and the centred place follow the window manager's frame.
    void framePoints()
    {
        QFETCH(QMargins, frame);
        QFETCH(QPoint, file);
        QFETCH(QPoint, options);
        QFETCH(QPoint, centred);
        QCOMPARE(orvex::ui::menuPoint({300, 200}, frame, f->w.Label9->pos(), 10), file);
        QCOMPARE(orvex::ui::menuPoint({300, 200}, frame, f->w.Label10->pos(), 15), options);
        QCOMPARE(orvex::ui::centredClientOrigin({0, 0, 1024, 768}, f->w.size(), frame), centred);
    }

    // The bevels are single lowered lines: shadow on the top and left, light on the
    // bottom and right.
    void bevels()
    {
        const QImage window = f->w.grab().toImage();
        for (QWidget* bevel : {f->w.Bevel1, f->w.Bevel2}) {
            const QRect r = bevel->geometry();
            QCOMPARE(window.pixelColor(r.left() + 5, r.top()), QColor(128, 128, 128));
            QCOMPARE(window.pixelColor(r.left(), r.top() + 5), QColor(128, 128, 128));
            QCOMPARE(window.pixelColor(r.left() + 5, r.bottom()), QColor(255, 255, 255));
            QCOMPARE(window.pixelColor(r.right(), r.top() + 5), QColor(255, 255, 255));
            QVERIFY(window.pixelColor(r.left() + 5, r.top() + 1) != QColor(255, 255, 255));
        }
    }

    void states_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QStringList>("values");  // Format, Size, SAP, the boxes, moduleLoaded, the option
        QTest::newRow("before a load") << QStringList{} << false << QStringList{"none", "n/o", "n/o", "Name", "0", "off"};
        QTest::newRow("samples cancelled") << QStringList{"load md1"} << false
                                           << QStringList{"md1", "300", "n/o", "Name", "1", "off"};
        QTest::newRow("loaded") << QStringList{"load"} << true << QStringList{"mpt", "300", "n/o", "Name", "1", "off"};
        QTest::newRow("saved") << QStringList{"load", "save"} << true
                               << QStringList{"mpt", "300", "809", "NameUnknown<?>", "0", "off"};
        QTest::newRow("HERE") << QStringList{"load", "save", "here"} << true
                              << QStringList{"mpt", "300", "809", "", "0", "off"};
        QTest::newRow("loaded again") << QStringList{"load", "save", "load"} << true
                                      << QStringList{"mpt", "300", "n/o", "NameUnknown<?>", "1", "off"};
        // One module file dropped onto the window loads as the menu does; nothing else.
        QTest::newRow("dropped") << QStringList{"option", "drop song.mpt"} << true
                                 << QStringList{"mpt", "300", "n/o", "", "1", "on"};
        QTest::newRow("dropped .MD1") << QStringList{"drop song.md1"} << true
                                      << QStringList{"md1", "300", "n/o", "Name", "1", "off"};
        QTest::newRow("two dropped") << QStringList{"option", "drop song.mpt song.md1"} << false
                                     << QStringList{"none", "n/o", "n/o", "Name", "0", "on"};
        QTest::newRow("folder dropped") << QStringList{"drop players"} << false
                                        << QStringList{"none", "n/o", "n/o", "Name", "0", "off"};
        // The check mark and the two LEDs always agree; the caption beside them does nothing.
        QTest::newRow("dark LED") << QStringList{"ledoff", "caption"} << false
                                  << QStringList{"none", "n/o", "n/o", "Name", "0", "on"};
        QTest::newRow("dark, lit LED") << QStringList{"ledoff", "ledon"} << false
                                       << QStringList{"none", "n/o", "n/o", "Name", "0", "off"};
        QTest::newRow("menu item twice") << QStringList{"option", "option"} << false
                                         << QStringList{"none", "n/o", "n/o", "Name", "0", "off"};
        QTest::newRow("menu item, lit LED, menu item") << QStringList{"option", "ledon", "option"} << false
                                                       << QStringList{"none", "n/o", "n/o", "Name", "0", "on"};
    }

    void states()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, enabled);
        QFETCH(QStringList, values);
        f->bench.putPlayers();
        f->showAt({40, 30});
        const std::string song = f->bench.put("song.mpt", module(0x2000, 300));
        f->bench.put("song.md1", module(0x2000, 300));
        f->dialogs.answers["ODS"] << QString::fromStdString(f->bench.put("s.d15", d15(0x50, 288)));
        f->w.Edit1->setText("Name");
        for (const QString& step : steps) {
            if (step == "load md1")
                f->dialogs.answers["ODS"].clear();
            if (step.startsWith("load"))
                f->load(f->bench.dir / (step == "load" ? "song.mpt" : "song.md1"));
            else if (step == "save")
                f->w.SaveSAPfile1->trigger();
            else if (step == "here")
                QTest::mouseClick(f->w.Button1, Qt::LeftButton);
            else if (step == "option")
                f->w.ox->trigger();
            else if (step.startsWith("drop"))
                drop(step.split(' ').mid(1));
            else
                QTest::mouseClick(step == "ledon"    ? static_cast<QWidget*>(f->w.ledon)
                                  : step == "ledoff" ? static_cast<QWidget*>(f->w.ledoff)
                                                     : static_cast<QWidget*>(f->w.Label12),
                                  Qt::LeftButton, {}, QPoint(8, 8));
            QCOMPARE(f->w.ledon->isVisible(), f->w.ox->isChecked());
            QCOMPARE(f->w.ledoff->isVisible(), !f->w.ox->isChecked());
        }
        const TSW& w = f->w;
        for (QWidget* control : QWidgetList{w.Label1, w.Label2, w.Label3, w.Label7, w.Edit1, w.Edit2, w.Edit3, w.Button1,
                                            w.Label4, w.Label5, w.Label6, w.Label13, w.Label14, w.Label15})
            QCOMPARE(control->isEnabled(), enabled);
        QCOMPARE(QStringList({w.Label13->text(), w.Label14->text(), w.Label15->text(),
                              w.Edit1->text() + w.Edit2->text() + w.Edit3->text(),
                              QString::number(f->bench.state->moduleLoaded), w.ox->isChecked() ? "on" : "off"}),
                 values);
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
        f->bench.putPlayers();
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
        plain.putPlayers();
        plain.window.name = "Pi\xEA\xE6";
        plain.window.author = "Me";
        const Bytes expected = plain.convert(file.toStdString(), module(0x2000, 300, 2),
                                             digi ? std::optional(d15(0x40, 288)) : std::nullopt);
        QVERIFY(readFile(sap) == expected);
        QCOMPARE(f->dialogs.messages, QStringList());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
