#include "frame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <memory>

namespace orvex::ui {

namespace {

xcb_connection_t* x11()
{
    const auto* native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return native ? native->connection() : nullptr;
}

template <typename Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

} // namespace

QMargins frameExtents(const QWidget* window)
{
    if (xcb_connection_t* connection = x11(); connection && window->windowHandle()) {
        static const xcb_atom_t atom = [connection] {
            const Owned<xcb_intern_atom_reply_t> reply(
                xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, 18, "_NET_FRAME_EXTENTS"), nullptr),
                &std::free);
            return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        }();
        const Owned<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(connection,
                                   xcb_get_property(connection, 0, static_cast<xcb_window_t>(window->winId()), atom,
                                                    XCB_ATOM_CARDINAL, 0, 4),
                                   nullptr),
            &std::free);
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) == 16) {
            const auto* sides = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
            return QMargins(int(sides[0]), int(sides[2]), int(sides[1]), int(sides[3]));  // left, right, top, bottom
        }
    }
    const QRect outer = window->frameGeometry(), inner = window->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

QPoint clientOrigin(const QWidget* window)
{
    if (xcb_connection_t* connection = x11(); connection && window->windowHandle()) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const Owned<xcb_translate_coordinates_reply_t> reply(
            xcb_translate_coordinates_reply(
                connection,
                xcb_translate_coordinates(connection, static_cast<xcb_window_t>(window->winId()), root, 0, 0), nullptr),
            &std::free);
        if (reply)
            return QPoint(reply->dst_x, reply->dst_y);
    }
    return window->mapToGlobal(QPoint(0, 0));
}

QPoint menuPoint(QPoint clientOrigin, QMargins frame, QPoint title, int xAddend)
{
    return clientOrigin - QPoint(frame.left(), frame.top()) + title + QPoint(xAddend, 35);
}

QPoint centredClientOrigin(QRect area, QSize client, QMargins frame)
{
    const QSize outer = client.grownBy(frame);
    return area.topLeft() + QPoint((area.width() - outer.width()) / 2, (area.height() - outer.height()) / 2)
           + QPoint(frame.left(), frame.top());
}

namespace {

void centre(QWidget* window, QMargins frame)
{
    if (const QScreen* screen = window->screen())
        window->setGeometry(QRect(centredClientOrigin(screen->availableGeometry(), window->size(), frame), window->size()));
}

} // namespace

void centreWhenFramed(QWidget* window)
{
    centre(window, frameExtents(window));
    // The frame is known when the window manager has put it around the window; with
    // none, it never is.
    auto* poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, poll, tries = 0]() mutable {
        const QMargins frame = frameExtents(window);
        if (frame.isNull() && ++tries < 50)
            return;
        poll->deleteLater();
        poll->stop();
        if (!frame.isNull())
            centre(window, frame);
    });
    poll->start(10);
}

} // namespace orvex::ui
