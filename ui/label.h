#pragma once
// A text label in the classic desktop manner: transparent (only the letters are
// painted, whatever lies behind shows around them), drawn from its top-left corner,
// sized to its text in width, grayed and embossed while disabled, with its own font
// colour and mouse press and release signals.

#include "pressable.h"

#include <QColor>
#include <QString>

class Label : public Pressable {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QColor fontColor READ fontColor WRITE setFontColor)
public:
    explicit Label(QWidget* parent = nullptr);

    QString text() const { return text_; }
    // The width follows the text; the height and the top-left corner stay where the
    // layout put them.
    void setText(const QString& text);

    // The colour of the text while enabled: the palette's window text colour.
    QColor fontColor() const;
    void setFontColor(const QColor& colour);

    // The width of the text in the label's font
    int textWidth() const;

    QSize sizeHint() const override;

    // The two colours of the grayed, embossed text of a disabled label
    static QColor embossHighlight() { return QColor(255, 255, 255); }
    static QColor embossShadow() { return QColor(128, 128, 128); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void adjustSize();

    QString text_;
};
