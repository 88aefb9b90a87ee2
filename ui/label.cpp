#include "label.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

Label::Label(QWidget* parent) : Pressable(parent)
{
    // Every mouse button reaches the press and release handlers; a label has no
    // context menu of its own.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::NoFocus);
}

void Label::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    adjustSize();
    update();
}

QColor Label::fontColor() const
{
    return palette().color(QPalette::Active, QPalette::WindowText);
}

void Label::setFontColor(const QColor& colour)
{
    QPalette shades = palette();
    shades.setColor(QPalette::Active, QPalette::WindowText, colour);
    shades.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    setPalette(shades);
    update();
}

int Label::textWidth() const
{
    return QFontMetrics(font()).horizontalAdvance(text_);
}

QSize Label::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text_), metrics.height()};
}

void Label::adjustSize()
{
    resize(textWidth(), height());
}

void Label::paintEvent(QPaintEvent*)
{
    if (text_.isEmpty())
        return;
    QPainter painter(this);
    painter.setFont(font());
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    if (isEnabled()) {
        painter.setPen(fontColor());
        painter.drawText(rect(), flags, text_);
        return;
    }
    // Grayed and embossed: a white copy one pixel down and right, the gray text on
    // top, both with solid pixels so that the relief stays sharp.
    QFont solid = font();
    solid.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(solid);
    painter.setPen(embossHighlight());
    painter.drawText(rect().translated(1, 1), flags, text_);
    painter.setPen(embossShadow());
    painter.drawText(rect(), flags, text_);
}

void Label::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        adjustSize();
    Pressable::changeEvent(event);
}
