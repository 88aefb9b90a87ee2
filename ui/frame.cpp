#include "frame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstring>
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

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const Owned<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

QMargins frameExtents(const QWidget* window)
{
    if (xcb_connection_t* connection = x11(); connection && window->windowHandle()) {
        static const xcb_atom_t extents = atom(connection, "_NET_FRAME_EXTENTS");
        const Owned<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(connection,
                                   xcb_get_property(connection, 0, static_cast<xcb_window_t>(window->winId()), extents,
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

namespace {

// The client area's top-left corner that puts the whole frame in the middle of `area`.
QPoint centredClientOrigin(QRect area, QSize client, QMargins frame)
{
    const QSize outer = client.grownBy(frame);
    return area.topLeft() + QPoint((area.width() - outer.width()) / 2, (area.height() - outer.height()) / 2)
           + QPoint(frame.left(), frame.top());
}

void centre(QWidget* window, QMargins frame)
{
    if (const QScreen* screen = window->screen())
        window->setGeometry(QRect(centredClientOrigin(screen->availableGeometry(), window->size(), frame), window->size()));
}

// Asks the window manager for the frame it will put around a window not shown yet
// (_NET_REQUEST_FRAME_EXTENTS) and waits a moment for its answer.
QMargins expectedFrame(QWidget* window)
{
    xcb_connection_t* connection = x11();
    if (!connection)
        return frameExtents(window);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = static_cast<xcb_window_t>(window->winId());
    request.type = atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(connection);
    QMargins frame;
    for (int tries = 0; tries < 40 && frame.isNull(); ++tries) {
        if ((frame = frameExtents(window)).isNull())
            QThread::msleep(5);
    }
    return frame;
}

} // namespace

void centreWhenFramed(QWidget* window)
{
    // A window without a frame gets none from the window manager.
    if (window->windowFlags() & Qt::FramelessWindowHint) {
        centre(window, QMargins());
        return;
    }
    // Placed where it belongs before it shows, when the window manager says what frame
    // it will get; once more as soon as it has framed it.
    centre(window, window->isVisible() ? frameExtents(window) : expectedFrame(window));
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
