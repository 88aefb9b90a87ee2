#pragma once
// The about box "quill": the about picture in a rainbow frame that scrolls upward
// without end, and, behind a 9 x 7 hot spot on the picture, a hidden screen with a
// bouncing scroller and a bobbing, swaying logo over a navy strip.

#include "fixed_dialog.h"
#include "layouts.h"
#include "picture.h"

#include <array>

class QTimer;

// The layout's controls, inherited from its form: RB (rainbow background,
// "atarirainbow.bmp"), Panel1 (frame of the about picture), Image1 (the about picture),
// Panel2 (the hidden screen), scroll (scroller), logo ("atari.bmp"), Panel3 (navy strip
// below the logo), logoback ("atariback.bmp", never shown), logm ("atarimir.bmp", never
// shown), logmback ("atarimirback.bmp", the mirror picture), Image2 (hot spot over the
// about picture).
class Tquill : public orvex::ui::FixedDialog, public Ui::Tquill {
    Q_OBJECT
public:
    // Builds the window from its layout, loads the five bitmap files from the
    // current folder and sets the scroller text. Throws std::runtime_error naming
    // the first bitmap file that cannot be read.
    explicit Tquill(QWidget* owner = nullptr);
    // The scroller, not QWidget::scroll
    using Ui::Tquill::scroll;

    // Offsets of the three ping-pong motions of the hidden screen, in pixels.
    static constexpr std::array<int, 10> ScrollBounceTable = {1, 1, 2, 2, 3, 3, 3, 3, 4, 4};
    static constexpr std::array<int, 20> LogoBobTable = {1, 2, 1, 2, 2, 2, 2, 3, 2, 3,
                                                         3, 3, 2, 3, 2, 2, 2, 2, 2, 2};
    static constexpr std::array<int, 46> LogoSwayTable = {
        1, 1, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 6, 6, 6,
        6, 6, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 3, 3, 3, 3, 2, 2};

    // The scroller's one line of text.
    static const char* const ScrollerText;

    // The two timers
    QTimer* Timer1 = nullptr;      // rainbow, 50 ms
    QTimer* scrollometr = nullptr; // hidden screen, 50 ms

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
    void hideEvent(QHideEvent* event) override;

private:
    bool pressPending_ = false;  // a button pressed on the picture is still down
};

extern Tquill* quill;
