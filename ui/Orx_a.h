#pragma once
// The about box "quill": the about picture in a rainbow frame that scrolls upward
// without end, and, behind a 9 x 7 hot spot on the picture, a hidden screen with a
// bouncing scroller and a bobbing, swaying logo over a navy strip.

#include <QDialog>

#include <array>

class QFrame;
class QKeyEvent;
class QLabel;
class QTimer;
class Picture;

class Tquill : public QDialog {
    Q_OBJECT
public:
    // Builds the window from its layout, loads the five bitmap files from the
    // current folder and sets the scroller text. Throws std::runtime_error naming
    // the first bitmap file that cannot be read.
    explicit Tquill(QWidget* owner = nullptr);

    // Offsets of the three ping-pong motions of the hidden screen, in pixels.
    static constexpr std::array<int, 10> ScrollBounceTable = {1, 1, 2, 2, 3, 3, 3, 3, 4, 4};
    static constexpr std::array<int, 20> LogoBobTable = {1, 2, 1, 2, 2, 2, 2, 3, 2, 3,
                                                         3, 3, 2, 3, 2, 2, 2, 2, 2, 2};
    static constexpr std::array<int, 46> LogoSwayTable = {
        1, 1, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 6, 6, 6,
        6, 6, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 3, 3, 3, 3, 2, 2};

    // The scroller's one line of text.
    static const char* const ScrollerText;

    // Components, in the order of the layout.
    QTimer* Timer1 = nullptr;      // rainbow, 50 ms
    Picture* RB = nullptr;         // rainbow background, "atarirainbow.bmp"
    QFrame* Panel1 = nullptr;      // frame of the about picture
    Picture* Image1 = nullptr;     // the about picture
    QFrame* Panel2 = nullptr;      // the hidden screen
    QLabel* scroll = nullptr;      // scroller
    Picture* logo = nullptr;       // "atari.bmp"
    QFrame* Panel3 = nullptr;      // navy strip below the logo
    Picture* logoback = nullptr;   // "atariback.bmp", never shown
    QTimer* scrollometr = nullptr; // hidden screen, 50 ms
    Picture* logm = nullptr;       // "atarimir.bmp", never shown
    Picture* logmback = nullptr;   // "atarimirback.bmp", the mirror picture
    Picture* Image2 = nullptr;     // hot spot over the about picture

    // Animation state of the hidden screen. It lives as long as the window and is
    // never reset, so closing and reopening the window continues where it was.
    bool scrollRising = false;
    int scrollStep = 0;
    bool logoRising = false;
    int logoBobStep = 0;
    bool swayingLeft = false;
    int swayStep = 0;

public slots:
    void Timer1Timer();
    void Image1MouseUp(Qt::MouseButton button);
    void Image1MouseDown(Qt::MouseButton button);
    void scrollometrTimer();
    void Image2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool pressPending_ = false;  // a button pressed on the picture is still down
};

extern Tquill* quill;
