#include "picture.h"

#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>

// The program's pictures (:/pictures/...) are compiled in beside the windows. They
// register themselves when the program starts, but a linker drops a registration
// that nothing names; naming it here, in the unit of every window's picture
// control, keeps it in each program that shows a window.
static void registerPictures()
{
    Q_INIT_RESOURCE(orvex_pictures);
}
Q_CONSTRUCTOR_FUNCTION(registerPictures)

Picture::Picture(QWidget* parent) : Pressable(parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
}

void Picture::setPicture(const QString& path)
{
    setImage(path.isEmpty() ? QImage() : QImage(path));
    path_ = path;
}

void Picture::setImage(const QImage& image)
{
    path_.clear();
    image_ = image;
    rebuild();
}

void Picture::setTransparent(bool transparent)
{
    transparent_ = transparent;
    rebuild();
}

void Picture::setStretch(bool stretch)
{
    stretch_ = stretch;
    update();
}

void Picture::rebuild()
{
    shown_ = QPixmap::fromImage(image_);
    if (transparent_ && !image_.isNull()) {
        const QImage rgb = image_.convertToFormat(QImage::Format_RGB32);
        const QRgb key = rgb.pixel(0, rgb.height() - 1);
        shown_.setMask(QBitmap::fromImage(rgb.createMaskFromColor(key, Qt::MaskInColor)));
    }
    setAttribute(Qt::WA_OpaquePaintEvent, !transparent_ && !image_.isNull() && !stretch_
                                              && image_.width() >= width() && image_.height() >= height());
    update();
}

void Picture::paintEvent(QPaintEvent*)
{
    if (shown_.isNull())
        return;
    QPainter painter(this);
    if (stretch_)
        painter.drawPixmap(rect(), shown_);
    else
        painter.drawPixmap(0, 0, shown_);
}

void Picture::mousePressEvent(QMouseEvent* event)
{
    pressedInside_ = true;
    Pressable::mousePressEvent(event);
}

void Picture::mouseReleaseEvent(QMouseEvent* event)
{
    Pressable::mouseReleaseEvent(event);
    if (pressedInside_ && (clickButtons_ & event->button()) && rect().contains(event->position().toPoint()))
        emit clicked();
    pressedInside_ = false;
}
