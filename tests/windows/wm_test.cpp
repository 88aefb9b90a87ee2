// Under a real window manager (wm_test.sh starts Xvfb and openbox and runs this once per
// fresh start): the main window's and the about box's frames, title bars included, sit
// in the middle of the screen, the about box at every showing, and each menu opens at
// the frame's outer corner plus its title's place and addends, before and after the
// window is moved. The frame is read from the window manager's own window around ours.

#include "Orx_a.h"
#include "window_fixture.h"

#include <QMenu>
#include <QScreen>
#include <QTest>

#include <xcb/xcb.h>
#include <QtGui/qguiapplication_platform.h>

namespace {

// The window manager's frame: the child of the root that holds the window.
QRect frameOf(const QWidget& window)
{
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    xcb_window_t w = static_cast<xcb_window_t>(window.winId());
    for (;;) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
        const xcb_window_t parent = tree->parent, root = tree->root;
        std::free(tree);
        if (parent == root)
            break;
        w = parent;
    }
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    const QRect frame(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
    std::free(g);
    return frame;
}

bool centred(const QWidget& window)
{
    const QPoint off = frameOf(window).center() - window.screen()->availableGeometry().center();
    return std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1;
}

} // namespace

class WindowManagerTest : public QObject {
    Q_OBJECT

private slots:
    void framedWindow()
    {
        support::WindowFixture f;
        const struct {
            Label* title;
            QMenu* menu;
            QPoint offset;
        } menus[] = {{f.w.Label9, f.w.Filemen, {26, 46}}, {f.w.Label10, f.w.Optiomen, {71, 46}},
                     {f.w.Label11, f.w.Helpmen, {138, 46}}};
        auto checkMenus = [&] {
            for (const auto& m : menus) {
                QTest::mousePress(m.title, Qt::LeftButton, {}, QPoint(3, 3));
                QTest::mouseRelease(m.title, Qt::LeftButton, {}, QPoint(3, 3));
                QTRY_VERIFY(m.menu->isVisible());
                QCOMPARE(m.menu->pos(), frameOf(f.w).topLeft() + m.offset);
                m.menu->close();
                QTRY_VERIFY(!m.menu->isVisible());
            }
        };
        // At once after the start, as a quick user clicks
        f.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.w));
        checkMenus();
        // Centred once framed
        QTRY_VERIFY(centred(f.w));
        checkMenus();
        // Moved
        const QPoint before = frameOf(f.w).topLeft();
        f.w.move(f.w.pos() + QPoint(-150, 90));
        QTRY_COMPARE(frameOf(f.w).topLeft(), before + QPoint(-150, 90));
        checkMenus();
    }

    void aboutBox()
    {
        Tquill about;
        QPoint first;
        for (int showing = 0; showing < 2; ++showing) {
            about.show();
            QVERIFY(QTest::qWaitForWindowExposed(&about));
            QTRY_VERIFY(centred(about));
            if (showing == 0)
                first = frameOf(about).topLeft();
            QCOMPARE(frameOf(about).topLeft(), first);
            about.hide();
            QTest::qWait(100);
        }
    }
};

QTEST_MAIN(WindowManagerTest)
#include "wm_test.moc"
