// The label menu bar: the titles' colours on press and release, and where each
// pop-up menu opens, also after the window has moved.

#include "Orx_u.h"
#include "support.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

#include <memory>

class MenuBarTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<orvex::ConversionState> state;
    std::unique_ptr<TSW> w;

    struct Title {
        Label* label;
        QMenu* menu;
        int xAddend;
    };
    Title title(const QString& name)
    {
        if (name == "FILE")
            return {w->Label9, w->Filemen, 10};
        if (name == "OPTIONS")
            return {w->Label10, w->Optiomen, 15};
        return {w->Label11, w->Helpmen, 10};
    }

    void closeMenus()
    {
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    void showAt(QPoint corner)
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->move(corner);
        QTRY_COMPARE(w->frameGeometry().topLeft(), corner);
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
        closeMenus();
        w.reset();
        state.reset();
    }

    void colours_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Qt::MouseButton>("button");
        for (const char* name : {"FILE", "OPTIONS", "HELP"}) {
            QTest::newRow(qPrintable(QString(name) + " left")) << QString(name) << Qt::LeftButton;
            QTest::newRow(qPrintable(QString(name) + " right")) << QString(name) << Qt::RightButton;
            QTest::newRow(qPrintable(QString(name) + " middle")) << QString(name) << Qt::MiddleButton;
        }
    }

    // Navy while a button pressed on the title is down; black, and the menu open,
    // after the release, whichever the button.
    void colours()
    {
        QFETCH(QString, name);
        QFETCH(Qt::MouseButton, button);
        showAt({40, 30});
        const Title t = title(name);

        QCOMPARE(t.label->fontColor(), QApplication::palette().color(QPalette::WindowText));
        QTest::mousePress(t.label, button, {}, QPoint(3, 3));
        QCOMPARE(t.label->fontColor(), QColor(0, 0, 128));
        QVERIFY(!t.menu->isVisible());
        QTest::mouseRelease(t.label, button, {}, QPoint(3, 3));
        QCOMPARE(t.label->fontColor(), QColor(0, 0, 0));
        QTRY_VERIFY(t.menu->isVisible());
        QCOMPARE(QApplication::activePopupWidget(), t.menu);
        closeMenus();

        // The other titles keep their colour
        for (const char* other : {"FILE", "OPTIONS", "HELP"}) {
            if (other != name)
                QCOMPARE(title(other).label->fontColor(), QApplication::palette().color(QPalette::WindowText));
        }

        // A second press turns navy again; the colour after a release stays black.
        QTest::mousePress(t.label, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(t.label->fontColor(), QColor(0, 0, 128));
        QTest::mouseRelease(t.label, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(t.label->fontColor(), QColor(0, 0, 0));
    }

    void positions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("offset");  // from the window's outer top-left corner
        QTest::newRow("FILE") << QString("FILE") << QPoint(26, 46);
        QTest::newRow("OPTIONS") << QString("OPTIONS") << QPoint(71, 46);
        QTest::newRow("HELP") << QString("HELP") << QPoint(138, 46);
    }

    // Each menu's top-left corner lies at the window's outer corner, read at the
    // release, plus the title's place and the title's addends.
    void positions()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, offset);
        const Title t = title(name);

        for (const QPoint corner : {QPoint(40, 30), QPoint(250, 170), QPoint(5, 400)}) {
            showAt(corner);
            QTest::mousePress(t.label, Qt::LeftButton, {}, QPoint(3, 3));
            QTest::mouseRelease(t.label, Qt::LeftButton, {}, QPoint(3, 3));
            QTRY_VERIFY(t.menu->isVisible());
            QCOMPARE(t.menu->frameGeometry().topLeft(), w->frameGeometry().topLeft() + offset);
            QCOMPARE(t.menu->frameGeometry().topLeft(),
                     w->frameGeometry().topLeft() + t.label->pos() + QPoint(t.xAddend, 35));
            closeMenus();
        }
    }

    // "OPTIONS" opens 5 pixels further right of its title than the other two.
    void optionsFurtherRight()
    {
        showAt({60, 60});
        QMap<QString, int> fromTitle;
        for (const char* name : {"FILE", "OPTIONS", "HELP"}) {
            const Title t = title(name);
            QTest::mousePress(t.label, Qt::RightButton, {}, QPoint(1, 1));
            QTest::mouseRelease(t.label, Qt::RightButton, {}, QPoint(1, 1));
            QTRY_VERIFY(t.menu->isVisible());
            fromTitle[name] = t.menu->frameGeometry().left() - t.label->mapToGlobal(QPoint(0, 0)).x();
            closeMenus();
        }
        QCOMPARE(fromTitle["OPTIONS"], fromTitle["FILE"] + 5);
        QCOMPARE(fromTitle["HELP"], fromTitle["FILE"]);
    }

    // A picked item runs its handler; the menu closes.
    void pickedItemRunsItsHandler()
    {
        testing_ui::FakeDialogs dialogs;
        showAt({40, 30});
        QTest::mousePress(w->Label9, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseRelease(w->Label9, Qt::LeftButton, {}, QPoint(3, 3));
        QTRY_VERIFY(w->Filemen->isVisible());
        QTest::mouseClick(w->Filemen, Qt::LeftButton, {}, w->Filemen->actionGeometry(w->LoadAtariMSX1).center());
        QTRY_VERIFY(!w->Filemen->isVisible());
        QCOMPARE(dialogs.runsOf("OD"), 1);
    }

    // Clicking the caption beside the LED does nothing.
    void ledCaptionDoesNothing()
    {
        showAt({40, 30});
        QTest::mouseClick(w->Label12, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseClick(w->Label12, Qt::RightButton, {}, QPoint(3, 3));
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        QVERIFY(!w->ox->isChecked());
        QVERIFY(w->ledoff->isVisible());
        QVERIFY(!w->ledon->isVisible());
        QCOMPARE(w->Label12->fontColor(), QApplication::palette().color(QPalette::WindowText));
    }
};

QTEST_MAIN(MenuBarTest)
#include "tst_menubar.moc"
