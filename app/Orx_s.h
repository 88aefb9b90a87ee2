#pragma once
// The splash window "screen".

#include <QDialog>

class Tscreen : public QDialog {
    Q_OBJECT
public:
    explicit Tscreen(QWidget* owner = nullptr);
};

// Inside QWidget members, write ::screen: QWidget::screen() hides this name.
extern Tscreen* screen;
