#pragma once
// A picture control: draws its image at natural size from the top-left corner, cut off
// at the control's edges (or stretched to the control), optionally transparent where
// the image has the colour of its bottom-left pixel. Mouse presses, releases and
// clicks are reported with the button. A layout file can name its picture by path
// (a resource path such as ":/pictures/x.png", or a file).

#include "pressable.h"

#include <QImage>
#include <QPixmap>

class Picture : public Pressable {
    Q_OBJECT
    Q_PROPERTY(QString picture READ picture WRITE setPicture)
    Q_PROPERTY(bool transparent READ isTransparent WRITE setTransparent)
    Q_PROPERTY(bool stretch READ isStretched WRITE setStretch)
    Q_PROPERTY(Qt::MouseButtons clickButtons READ clickButtons WRITE setClickButtons)
public:
    explicit Picture(QWidget* parent = nullptr);

    // Loads the image from a path; the control shows nothing when it cannot be read.
    void setPicture(const QString& path);
    // The path the image came from (empty when it was set as an image)
    QString picture() const { return path_; }

    void setImage(const QImage& image);
    QImage image() const { return image_; }
    void setTransparent(bool transparent);
    bool isTransparent() const { return transparent_; }
    void setStretch(bool stretch);
    bool isStretched() const { return stretch_; }
    // The buttons whose press and release inside the control make a click (all of
    // them unless told otherwise)
    void setClickButtons(Qt::MouseButtons buttons) { clickButtons_ = buttons; }
    Qt::MouseButtons clickButtons() const { return clickButtons_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void rebuild();

    QString path_;
    QImage image_;
    QPixmap shown_;
    bool transparent_ = false;
    bool stretch_ = false;
    bool pressedInside_ = false;
    Qt::MouseButtons clickButtons_ = Qt::AllButtons;
};
