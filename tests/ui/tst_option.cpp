// The option "InfoCLR at load": the LEDs and the menu item's check mark always
// agree, only the three handlers switch the mark, and the mark empties the info boxes
// at the next confirmed load. Also "HERE".

#include "Orx_u.h"
#include "support.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using testing_ui::FakeDialogs;

class OptionTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<orvex::ConversionState> state;
    std::unique_ptr<TSW> w;

    // Exactly one LED shows, and it is the one that matches the mark.
    bool consistent(bool expected) const
    {
        return w->ox->isChecked() == expected && w->ledon->isVisibleTo(w.get()) == expected
               && w->ledoff->isVisibleTo(w.get()) == !expected;
    }

    void show()
    {
        w->move(30, 30);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

private slots:
    void initTestCase()
    {
        testing_ui::quietPlatformNotes();
    }
    void init()
    {
        state = std::make_unique<orvex::ConversionState>();
        w = std::make_unique<TSW>(nullptr, state.get());
    }
    void cleanup()
    {
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        w.reset();
        state.reset();
    }

    // Every sequence of up to five handler calls, each step checked.
    void everySequence()
    {
        QVERIFY(consistent(false));
        for (int code = 0; code < 3 * 3 * 3 * 3 * 3; ++code) {
            w->ledonClick();
            QVERIFY(consistent(false));
            bool expected = false;
            int rest = code;
            for (int step = 0; step < 5; ++step, rest /= 3) {
                switch (rest % 3) {
                case 0:
                    w->ledoffClick();
                    expected = true;
                    break;
                case 1:
                    w->ledonClick();
                    expected = false;
                    break;
                default:
                    w->oxClick();
                    expected = !expected;
                    break;
                }
                QVERIFY2(consistent(expected), qPrintable(QString("sequence %1, step %2").arg(code).arg(step)));
            }
        }
    }

    // The LEDs with the mouse: a left click on the one that shows switches.
    void ledClicks()
    {
        show();
        QTest::mouseClick(w->ledoff, Qt::LeftButton, {}, QPoint(8, 8));
        QVERIFY(consistent(true));
        QTest::mouseClick(w->ledon, Qt::LeftButton, {}, QPoint(8, 8));
        QVERIFY(consistent(false));
        // Other buttons do not click
        QTest::mouseClick(w->ledoff, Qt::RightButton, {}, QPoint(8, 8));
        QTest::mouseClick(w->ledoff, Qt::MiddleButton, {}, QPoint(8, 8));
        QVERIFY(consistent(false));
        // The one place that shows one LED answers for the one that shows
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, QPoint(16, 133));
        QVERIFY(consistent(true));
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, QPoint(16, 133));
        QVERIFY(consistent(false));
    }

    // Choosing the item in the opened menu switches the mark once.
    void menuItemSwitchesOnce()
    {
        show();
        for (bool expected : {true, false, true}) {
            QTest::mousePress(w->Label10, Qt::LeftButton, {}, QPoint(3, 3));
            QTest::mouseRelease(w->Label10, Qt::LeftButton, {}, QPoint(3, 3));
            QTRY_VERIFY(w->Optiomen->isVisible());
            QTest::mouseClick(w->Optiomen, Qt::LeftButton, {}, w->Optiomen->actionGeometry(w->ox).center());
            QTRY_VERIFY(!w->Optiomen->isVisible());
            QVERIFY(consistent(expected));
        }
        // By the keyboard
        QTest::mousePress(w->Label10, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseRelease(w->Label10, Qt::LeftButton, {}, QPoint(3, 3));
        QTRY_VERIFY(w->Optiomen->isVisible());
        QTest::keyClick(w->Optiomen, Qt::Key_Down);
        QTest::keyClick(w->Optiomen, Qt::Key_Return);
        QTRY_VERIFY(!w->Optiomen->isVisible());
        QVERIFY(consistent(false));
        // And a trigger from elsewhere
        w->ox->trigger();
        QVERIFY(consistent(true));
        w->ox->trigger();
        QVERIFY(consistent(false));
    }

    // Switching the option changes no text; the mark acts at the next confirmed load.
    void emptiesBoxesAtConfirmedLoadOnly()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString module = dir.filePath("song.mpt");
        testing_ui::writeFile(module, testing_ui::atariModule(0x4000, 0x40FF, 262));
        FakeDialogs dialogs;

        auto fill = [this] {
            w->Edit1->setText("Name");
            w->Edit2->setText("Author");
            w->Edit3->setText("1999");
        };
        auto texts = [this] { return QStringList{w->Edit1->text(), w->Edit2->text(), w->Edit3->text()}; };

        fill();
        w->ledoffClick();
        QCOMPARE(texts(), QStringList({"Name", "Author", "1999"}));

        // Cancelled in the module dialog: nothing changes
        dialogs.answer("OD", std::nullopt);
        w->LoadAtariMSX1->trigger();
        QCOMPARE(texts(), QStringList({"Name", "Author", "1999"}));
        QCOMPARE(state->moduleLoaded, 0);

        // Confirmed: the boxes are emptied
        dialogs.answer("OD", module);
        w->LoadAtariMSX1->trigger();
        QCOMPARE(texts(), QStringList({"", "", ""}));
        QCOMPARE(state->moduleLoaded, 1);

        // With the option off the texts carry over to the next tune
        fill();
        w->ledonClick();
        dialogs.answer("OD", module);
        w->LoadAtariMSX1->trigger();
        QCOMPARE(texts(), QStringList({"Name", "Author", "1999"}));

        // On again through the menu item
        w->oxClick();
        dialogs.answer("OD", module);
        w->LoadAtariMSX1->trigger();
        QCOMPARE(texts(), QStringList({"", "", ""}));
        QVERIFY(dialogs.messages.empty());
    }

    // "HERE" empties the three boxes and changes nothing else.
    void hereEmptiesTheBoxes()
    {
        QTemporaryDir dir;
        const QString module = dir.filePath("tune.mpt");
        testing_ui::writeFile(module, testing_ui::atariModule(0x4000, 0x40FF, 300));
        FakeDialogs dialogs;
        dialogs.answer("OD", module);
        w->LoadAtariMSX1->trigger();
        QVERIFY(w->Button1->isEnabled());
        w->ledoffClick();

        show();
        w->Edit1->setText("Name");
        w->Edit2->setText("Author");
        w->Edit3->setText("Date");
        const auto imageEnd = state->imageEnd;
        QTest::mouseClick(w->Button1, Qt::LeftButton);
        QCOMPARE(w->Edit1->text(), QString());
        QCOMPARE(w->Edit2->text(), QString());
        QCOMPARE(w->Edit3->text(), QString());
        QCOMPARE(w->Label13->text(), QString("mpt"));
        QCOMPARE(w->Label14->text(), QString("300"));
        QCOMPARE(w->Label15->text(), QString("n/o"));
        QCOMPARE(state->moduleLoaded, 1);
        QCOMPARE(state->imageEnd, imageEnd);
        QVERIFY(consistent(true));
        QVERIFY(w->Edit1->isEnabled() && w->Button1->isEnabled());
    }
};

QTEST_MAIN(OptionTest)
#include "tst_option.moc"
