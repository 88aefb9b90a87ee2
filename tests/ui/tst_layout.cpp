// The main window as it stands after creation: window settings, every control's
// place, text, font and state, drawing and tab order, the menus and the dialogs.

#include "Orx_u.h"
#include "support.h"

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <climits>
#include <memory>

using orvex::ui::FileDialog;

class LayoutTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<orvex::ConversionState> state;
    std::unique_ptr<TSW> w;

    template <typename T>
    T* control(const char* name)
    {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
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
        w.reset();
        state.reset();
    }

    void windowSettings()
    {
        QCOMPARE(w->objectName(), QString("TSW"));
        QCOMPARE(w->windowTitle(), QString("Orvex! v1.0 - Vimbro"));
        QCOMPARE(w->size(), QSize(337, 159));
        QCOMPARE(w->minimumSize(), QSize(337, 159));
        QCOMPARE(w->maximumSize(), QSize(337, 159));
        const Qt::WindowFlags flags = w->windowFlags();
        QVERIFY(flags.testFlag(Qt::Window));
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowFullscreenButtonHint));

        // Shown, the client area keeps its size
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->size(), QSize(337, 159));
        w->resize(500, 300);
        QCOMPARE(w->size(), QSize(337, 159));

        // Centred on the screen, frame included
        const QRect screen = w->screen()->availableGeometry();
        QVERIFY(qAbs(w->frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(w->frameGeometry().center().y() - screen.center().y()) <= 1);
    }

    void windowFont()
    {
        QCOMPARE(w->font().family(), QString("Arial"));
        QCOMPARE(w->font().pixelSize(), 11);
        QVERIFY(!w->font().bold());
        // Liberation Sans is drawn to Arial's metrics
        QCOMPARE(QFontInfo(w->font()).family(), QString("Liberation Sans"));
        QCOMPARE(QFontInfo(w->font()).pixelSize(), 11);
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");

        auto row = [](const char* name, QRect r, const char* text, bool enabled, bool visible) {
            QTest::newRow(name) << QString(name) << r << QString(text) << enabled << visible;
        };
        row("Image1", {0, 0, 337, 161}, "", true, true);
        row("Bevel1", {8, 32, 217, 86}, "", true, true);
        row("Bevel2", {232, 32, 97, 86}, "", true, true);
        row("Label4", {240, 43, 36, 14}, "Format:", false, true);
        row("Label5", {240, 67, 24, 14}, "Size:", false, true);
        row("Label6", {240, 92, 24, 14}, "SAP:", false, true);
        row("Image2", {197, 121, 137, 33}, "", true, true);
        row("Image3", {8, 8, 321, 19}, "", true, true);
        row("Label9", {16, 11, 27, 13}, "FILE", true, true);
        row("Label10", {56, 11, 56, 13}, "OPTIONS", true, true);
        row("Label11", {128, 11, 33, 13}, "HELP", true, true);
        row("ledon", {8, 125, 17, 20}, "", true, false);
        row("Label12", {28, 126, 78, 14}, "AutoCLR at load", true, true);
        row("Label1", {16, 67, 36, 14}, "Author:", false, true);
        row("Label3", {16, 92, 25, 14}, "Date:", false, true);
        row("Label7", {127, 92, 41, 14}, "InfoCLR:", false, true);
        row("Label2", {16, 43, 30, 14}, "Name:", false, true);
        row("ledoff", {8, 125, 17, 20}, "", true, true);
        row("Label13", {280, 43, 24, 14}, "none", false, true);
        row("Label14", {272, 67, 15, 14}, "n/o", false, true);
        row("Label15", {272, 92, 15, 14}, "n/o", false, true);
        row("Image4", {235, 140, 81, 25}, "", true, true);
        row("Edit1", {56, 40, 161, 22}, "", false, true);
        row("Edit2", {56, 64, 161, 22}, "", false, true);
        row("Edit3", {56, 88, 41, 22}, "", false, true);
        row("Button1", {176, 88, 41, 21}, "HERE", false, true);
        row("Edit4", {8, 168, 313, 22}, "", true, false);
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);

        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QWidget* c = w->findChild<QWidget*>(name);
        QVERIFY(c);
        QCOMPARE(c->parentWidget(), w.get());
        QCOMPARE(c->isEnabled(), enabled);
        QCOMPARE(c->isVisible(), visible);
        QCOMPARE(c->pos(), geometry.topLeft());
        QCOMPARE(c->height(), geometry.height());

        if (auto* label = qobject_cast<Label*>(c)) {
            QCOMPARE(label->text(), text);
            // Sized to its text: the stored widths are those of the classic faces,
            // which the faces used here match within a few pixels.
            QCOMPARE(label->width(), label->textWidth());
            QVERIFY2(qAbs(label->width() - geometry.width()) <= 4,
                     qPrintable(QString("width %1, stored %2").arg(label->width()).arg(geometry.width())));
            QVERIFY(!label->autoFillBackground());
            QVERIFY(!label->testAttribute(Qt::WA_OpaquePaintEvent));
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        } else {
            QCOMPARE(c->size(), geometry.size());
        }
        if (auto* edit = qobject_cast<QLineEdit*>(c)) {
            QCOMPARE(edit->text(), text);
            QCOMPARE(edit->maxLength(), INT_MAX);  // no length limit
        }
        if (auto* button = qobject_cast<QPushButton*>(c))
            QCOMPARE(button->text(), text);
        if (auto* frame = qobject_cast<QFrame*>(c); frame && !qobject_cast<QLineEdit*>(c)) {
            QCOMPARE(frame->frameShape(), QFrame::Box);
            QCOMPARE(frame->frameShadow(), QFrame::Sunken);
            QCOMPARE(frame->lineWidth(), 1);
            QVERIFY(!frame->autoFillBackground());
            QCOMPARE(frame->focusPolicy(), Qt::NoFocus);
        }
        if (qobject_cast<Picture*>(c)) {
            QVERIFY(!static_cast<Picture*>(c)->isStretched());
            QCOMPARE(c->focusPolicy(), Qt::NoFocus);
        }
    }

    void fonts()
    {
        for (const char* title : {"Label9", "Label10", "Label11"}) {
            const QFont f = control<Label>(title)->font();
            QCOMPARE(f.family(), QString("MS Sans Serif"));
            QCOMPARE(f.pixelSize(), 11);
            QVERIFY(f.bold());
            QCOMPARE(QFontInfo(f).family(), QString("DejaVu Sans"));
            QCOMPARE(control<Label>(title)->cursor().shape(), Qt::PointingHandCursor);
        }
        for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7", "Label12",
                                 "Label13", "Label14", "Label15", "Edit1", "Edit2", "Edit3", "Button1"}) {
            const QFont f = control<QWidget>(name)->font();
            QCOMPARE(f.family(), QString("Arial"));
            QCOMPARE(f.pixelSize(), 11);
            QVERIFY(!f.bold());
        }
        QCOMPARE(control<Picture>("ledon")->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(control<Picture>("ledoff")->cursor().shape(), Qt::PointingHandCursor);
    }

    // Later controls are drawn over earlier ones; the edit boxes and the button last.
    void drawingOrder()
    {
        QStringList order;
        for (QObject* child : w->children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget && !widget->isWindow())
                order << widget->objectName();
        }
        const QStringList expected = {"Image1", "Bevel1", "Bevel2", "Label4", "Label5", "Label6", "Image2",
                                      "Image3", "Label9", "Label10", "Label11", "ledon", "Label12", "Label1",
                                      "Label3", "Label7", "Label2", "ledoff", "Label13", "Label14", "Label15",
                                      "Image4", "Edit1", "Edit2", "Edit3", "Button1", "Edit4"};
        QCOMPARE(order, expected);
    }

    void tabOrder()
    {
        w->enableInfoFields();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Edit1->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Edit1));
        const QList<QWidget*> expected = {w->Edit2, w->Edit3, w->Button1, w->Edit1, w->Edit2};
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Edit1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Button1));
    }

    // Before the first load the boxes take no typing and "HERE" cannot be pressed.
    void nothingTakesInputBeforeLoad()
    {
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::mouseClick(w->Edit1, Qt::LeftButton);
        QTest::keyClicks(w->Edit1, "abc");
        QTest::keyClick(w.get(), Qt::Key_Tab);
        QTest::keyClicks(w.get(), "abc");
        for (QLineEdit* edit : {w->Edit1, w->Edit2, w->Edit3})
            QCOMPARE(edit->text(), QString());
        w->Edit1->setText("kept");
        QTest::mouseClick(w->Button1, Qt::LeftButton);
        QCOMPARE(w->Edit1->text(), QString("kept"));
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus == nullptr || focus == w.get());
    }

    void menus()
    {
        struct Item {
            const char* menu;
            const char* name;
            const char* caption;
        };
        const Item items[] = {
            {"Filemen", "LoadAtariMSX1", "Load Atari MSX"},   {"Filemen", "SaveSAPfile1", "Save SAP file"},
            {"Filemen", "SaveSAPfileas1", "Save SAP file as..."}, {"Filemen", "ExitORVEX1", "Exit ORVEX...!"},
            {"Optiomen", "ox", "InfoCLR at load"},               {"Helpmen", "AboutOrvex1", "About Orvex..."},
        };
        for (const char* name : {"Filemen", "Optiomen", "Helpmen"}) {
            QStringList names;
            for (QAction* a : control<QMenu>(name)->actions())
                names << a->objectName();
            QStringList expected;
            for (const Item& item : items) {
                if (QString(item.menu) == name)
                    expected << item.name;
            }
            QCOMPARE(names, expected);
            QVERIFY(!control<QMenu>(name)->isVisible());
            // The classic menu face, 8 points
            QCOMPARE(control<QMenu>(name)->font().family(), QString("MS Sans Serif"));
            QCOMPARE(control<QMenu>(name)->font().pixelSize(), 11);
            QVERIFY(!control<QMenu>(name)->font().bold());
        }
        for (const Item& item : items) {
            QAction* a = w->findChild<QAction*>(item.name);
            QVERIFY(a);
            QCOMPARE(a->text(), QString(item.caption));
            QVERIFY(a->isEnabled());
            QVERIFY(!a->isChecked());
            QVERIFY(!a->isSeparator());
            QVERIFY(a->shortcut().isEmpty());
            QVERIFY(a->icon().isNull());
            QCOMPARE(a->isCheckable(), QString(item.name) == "ox");
        }
        QCOMPARE(control<QMenu>("Optiomen")->actions().first(), w->ox);
    }

    // The menus open only from their titles: no control has them as context menu.
    void noContextMenus()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        for (QWidget* c : w->findChildren<QWidget*>()) {
            QVERIFY(c->contextMenuPolicy() != Qt::ActionsContextMenu);
            QVERIFY(c->contextMenuPolicy() != Qt::CustomContextMenu);
        }
        QVERIFY(w->contextMenuPolicy() != Qt::ActionsContextMenu);
        for (QWidget* target : {static_cast<QWidget*>(w->Image1), static_cast<QWidget*>(w->Label12),
                                static_cast<QWidget*>(w->Label9), static_cast<QWidget*>(w.get())}) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), target->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(target, &event);
            QCOMPARE(QApplication::activePopupWidget(), nullptr);
        }
    }

    void dialogs()
    {
        QCOMPARE(w->OD.objectName, QString("OD"));
        QCOMPARE(w->OD.kind, FileDialog::Kind::Open);
        QCOMPARE(w->OD.filter,
                 QString("All supported types|*.CMC;*.MPT;*.MD1;*.TMC;*.TM8;*.COM|Chaos Music Composer|*.CMC|"
                         "Music Protracker 2.4, no Digi|*.MPT|Music Protracker 2.4, 1 Digi|*.MD1|"
                         "Theta Music Composer, mono|*.TMC|Theta Music Composer, stereo|*.TM8|"
                         "Benjy Soundmonitor|*.COM"));
        QCOMPARE(w->OD.nameFilters(),
                 QStringList({"All supported types (*.CMC *.MPT *.MD1 *.TMC *.TM8 *.COM)",
                              "Chaos Music Composer (*.CMC)", "Music Protracker 2.4, no Digi (*.MPT)",
                              "Music Protracker 2.4, 1 Digi (*.MD1)", "Theta Music Composer, mono (*.TMC)",
                              "Theta Music Composer, stereo (*.TM8)", "Benjy Soundmonitor (*.COM)"}));
        QVERIFY(w->OD.fileMustExist);
        QCOMPARE(w->OD.filterIndex, 0);

        QCOMPARE(w->SD.objectName, QString("SD"));
        QCOMPARE(w->SD.kind, FileDialog::Kind::Save);
        QCOMPARE(w->SD.filter, QString("Slight Atari Player file|*.SAP"));
        QCOMPARE(w->SD.nameFilters(), QStringList({"Slight Atari Player file (*.SAP)"}));
        QVERIFY(!w->SD.confirmOverwrite);

        QCOMPARE(w->ODS.objectName, QString("ODS"));
        QCOMPARE(w->ODS.kind, FileDialog::Kind::Open);
        QCOMPARE(w->ODS.filter, QString("Samples for .MD1 file|*.D15"));
        QCOMPARE(w->ODS.nameFilters(), QStringList({"Samples for .MD1 file (*.D15)"}));
        QVERIFY(!w->ODS.fileMustExist);

        for (const FileDialog* d : {&w->OD, &w->SD, &w->ODS}) {
            QVERIFY(d->fileName.isEmpty());
            QVERIFY(d->initialFolder.isEmpty());
        }
    }

    // A disabled label is grayed and embossed; every label paints only its letters.
    void labelDrawing()
    {
        auto render = [](Label* label) {
            QImage image(label->size(), QImage::Format_RGB32);
            image.fill(QColor(255, 0, 255));
            label->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            return image;
        };
        auto colours = [](const QImage& image) {
            QSet<QRgb> found;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    found.insert(image.pixel(x, y) & 0xFFFFFF);
            return found;
        };

        const QSet<QRgb> disabled = colours(render(w->Label4));
        QVERIFY(disabled.contains(0xFF00FF));  // the background shows
        QVERIFY(disabled.contains(0xFFFFFF));  // the white copy
        QVERIFY(disabled.contains(0x808080));  // the gray text

        w->Label4->setEnabled(true);
        const QSet<QRgb> enabled = colours(render(w->Label4));
        QVERIFY(enabled.contains(0xFF00FF));
        QVERIFY(!enabled.contains(0xFFFFFF));
        QVERIFY(!enabled.contains(0x808080));

        // The white copy lies one pixel down and to the right of the gray text.
        w->Label4->setEnabled(false);
        const QImage image = render(w->Label4);
        int grayLeft = image.width(), whiteLeft = image.width();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y) & 0xFFFFFF;
                if (c == 0x808080)
                    grayLeft = std::min(grayLeft, x);
                if (c == 0xFFFFFF)
                    whiteLeft = std::min(whiteLeft, x);
            }
        }
        QCOMPARE(whiteLeft, grayLeft + 1);
    }

    // A label keeps its top-left corner and follows its text in width.
    void valueFieldsFollowTheirText()
    {
        const QPoint corner = w->Label14->pos();
        w->setSizeValue("130000");
        QCOMPARE(w->Label14->text(), QString("130000"));
        QCOMPARE(w->Label14->pos(), corner);
        QCOMPARE(w->Label14->width(), w->Label14->textWidth());
        QVERIFY(w->Label14->width() > 15);
    }
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
