// Under a real window manager (wm_test.sh starts Xvfb and openbox and runs this once per
// fresh start): the main window's, the about box's and the splash's frames, title bars
// included, sit in the middle of the screen, the dialogs at every showing, and Escape does
// not close them; each menu opens, at the release of any mouse button on its title, at the
// frame's outer corner plus its title's place and addends, before and after the window is
// moved. The frame is read from the window manager's own window around ours.

#include "Orx_a.h"
#include "Orx_s.h"
#include "window_fixture.h"

#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>
#include <QtGui/qguiapplication_platform.h>

namespace {

xcb_connection_t* connection() { return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection(); }

// The window manager's frame: the child of the root that holds the window.
xcb_window_t frameWindow(const QWidget& window)
{
    xcb_connection_t* c = connection();
    xcb_window_t w = static_cast<xcb_window_t>(window.winId());
    for (;;) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
        const xcb_window_t parent = tree->parent, root = tree->root;
        std::free(tree);
        if (parent == root)
            return w;
        w = parent;
    }
}

QRect frameOf(const QWidget& window)
{
    xcb_connection_t* c = connection();
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, frameWindow(window)), nullptr);
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
        const struct { Label* title; QMenu* menu; Qt::MouseButton button; QPoint offset; } menus[] = {
            {f.w.Label9, f.w.Filemen, Qt::LeftButton, {26, 46}},
            {f.w.Label10, f.w.Optiomen, Qt::MiddleButton, {71, 46}},
            {f.w.Label11, f.w.Helpmen, Qt::RightButton, {138, 46}}};
        // A title is navy while pressed and black again at the release, which opens its
        // menu. The menu is checked against the frame where it stood throughout the click:
        // the window manager may still be placing the window (then the click is repeated).
        auto checkMenus = [&] {
            for (const auto& m : menus) {
                for (int attempt = 1;; ++attempt) {
                    const QPoint corner = frameOf(f.w).topLeft();
                    QTest::mousePress(m.title, m.button, {}, QPoint(3, 3));
                    QCOMPARE(m.title->fontColor(), QColor(0, 0, 128));
                    QVERIFY(!m.menu->isVisible());
                    QTest::mouseRelease(m.title, m.button, {}, QPoint(3, 3));
                    QCOMPARE(m.title->fontColor(), QColor(0, 0, 0));
                    QTRY_VERIFY(m.menu->isVisible());
                    const QPoint opened = m.menu->pos();
                    m.menu->close();
                    QTRY_VERIFY(!m.menu->isVisible());
                    if (frameOf(f.w).topLeft() == corner || attempt == 5) {
                        QCOMPARE(opened, corner + m.offset);
                        break;
                    }
                }
            }
        };
        // At once after the start, as a quick user clicks
        f.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.w));
        QTRY_VERIFY_WITH_TIMEOUT(frameWindow(f.w) != f.w.winId(), 20000);  // managed by the window manager
        checkMenus();
        // Centred once framed
        QTRY_VERIFY(centred(f.w));
        checkMenus();
        // Moved as a user moves it: the window manager puts the frame's corner elsewhere
        // (_NET_MOVERESIZE_WINDOW, north-west gravity, x and y, from a pager).
        const QPoint before = frameOf(f.w).topLeft();
        xcb_client_message_event_t move{};
        move.response_type = XCB_CLIENT_MESSAGE;
        move.format = 32;
        move.window = static_cast<xcb_window_t>(f.w.winId());
        xcb_intern_atom_reply_t* type = xcb_intern_atom_reply(
            connection(), xcb_intern_atom(connection(), 0, 22, "_NET_MOVERESIZE_WINDOW"), nullptr);
        move.type = type->atom;
        std::free(type);
        move.data.data32[0] = 1 | 1 << 8 | 1 << 9 | 2 << 12;
        move.data.data32[1] = std::uint32_t(before.x() - 150);
        move.data.data32[2] = std::uint32_t(before.y() + 90);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
        xcb_send_event(connection(), 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&move));
        xcb_flush(connection());
        QTRY_COMPARE(frameOf(f.w).topLeft(), before + QPoint(-150, 90));
        checkMenus();
    }

    // The about box and the splash, at each of two showings: centred, in the same place,
    // and not closed by Escape.
    void dialogs()
    {
        Tquill about;
        Tscreen screen;
        screen.Zegar->blockSignals(true);  // it stays until the test closes it
        for (QDialog* shown : {static_cast<QDialog*>(&about), static_cast<QDialog*>(&screen)}) {
            QPoint first;
            for (int showing = 0; showing < 2; ++showing) {
                shown->show();
                QVERIFY(QTest::qWaitForWindowExposed(shown));
                QTRY_VERIFY(centred(*shown));
                QTest::keyClick(shown, Qt::Key_Escape);
                QVERIFY(shown->isVisible());
                first = showing == 0 ? frameOf(*shown).topLeft() : first;
                QCOMPARE(frameOf(*shown).topLeft(), first);
                shown->hide();
                QTest::qWait(100);
            }
        }
    }
};

QTEST_MAIN(WindowManagerTest)
#include "window_manager_test.moc"
