#pragma once
// The splash window "screen": one full-window picture (Image1, from its form), shown
// modally once over the main window at start-up, centred on the screen. It closes
// itself 3000 ms after it was created.

#include "fixed_dialog.h"
#include "layouts.h"
#include "picture.h"

class QCloseEvent;
class QTimer;

class Tscreen : public orvex::ui::FixedDialog, public Ui::Tscreen {
    Q_OBJECT
public:
    explicit Tscreen(QWidget* owner = nullptr);

    QTimer* Zegar = nullptr;   // 3000 ms from creation, never stopped

public slots:
    void FormCreate();
    void ZegarTimer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Set by the first tick: the splash's time is over, and showing it after
    // that closes it at once.
    bool timeUp_ = false;
};

// Inside QWidget members, write ::screen: QWidget::screen() hides this name.
extern Tscreen* screen;
