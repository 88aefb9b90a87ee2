#pragma once
// A picture control: draws its image at natural size from the top-left corner, cut off
// at the control's edges (or stretched to the control), optionally transparent where
// the image has the colour of its bottom-left pixel. Mouse presses, releases and
// clicks are reported with the button.

#include <QImage>
#include <QPixmap>
#include <QWidget>

class Picture : public QWidget {
    Q_OBJECT
public:
    explicit Picture(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    QImage image() const { return image_; }
    void setTransparent(bool transparent);
    bool isTransparent() const { return transparent_; }
    void setStretch(bool stretch);
    bool isStretched() const { return stretch_; }
    // The colour that shows nothing when the picture is transparent
    QColor transparentColor() const;

signals:
    void pressed(Qt::MouseButton button);
    void released(Qt::MouseButton button);
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void rebuild();

    QImage image_;
    QPixmap shown_;
    bool transparent_ = false;
    bool stretch_ = false;
    bool pressedInside_ = false;
};
