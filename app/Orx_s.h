#pragma once
// The splash window "screen": one full-window picture, shown modally once over the
// main window at start-up. It closes itself 3000 ms after it was created.

#include <QDialog>

class QCloseEvent;
class QKeyEvent;
class QTimer;
class Picture;

class Tscreen : public QDialog {
    Q_OBJECT
public:
    explicit Tscreen(QWidget* owner = nullptr);

    Picture* Image1 = nullptr; // the splash picture
    QTimer* Zegar = nullptr;   // 3000 ms from creation, never stopped

public slots:
    void FormCreate();
    void ZegarTimer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Set by the first tick: the splash's time is over, and showing it after
    // that closes it at once.
    bool timeUp_ = false;
};

// Inside QWidget members, write ::screen: QWidget::screen() hides this name.
extern Tscreen* screen;
