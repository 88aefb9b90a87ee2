#pragma once
// What the program's windows share: the size and frame they keep, the check of the
// embedded pictures their layouts name, and, for the about box and the splash, a
// dialog centred on the screen at each showing that Escape does not close.

#include <QDialog>

class Picture;

namespace orvex::ui {

// After setupUi: the window keeps the size its layout gives it, with the frame `flags`
// ask for.
void fixToLayout(QWidget* window, Qt::WindowFlags flags);

// An embedded picture that a layout names is part of the program: throws
// std::runtime_error naming it when it cannot be read.
void requireStoredPicture(const Picture* picture);

class FixedDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

protected:
    // Centred on the screen, frame included, each time it is shown, whatever the stored
    // position and the owner's.
    void showEvent(QShowEvent* event) override;
    // The window has no keys of its own: Escape does not close it.
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace orvex::ui
