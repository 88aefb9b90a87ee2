#pragma once
// Fonts of the window layouts. The layouts name the classic Windows faces ("Arial",
// "MS Sans Serif") in points at 96 dots per inch, as their designer saw them; here
// those names are mapped to the closest faces installed, and point sizes are turned
// into the pixel sizes they stand for, so that text has the same size on every screen.

class QWidget;

namespace orvex::ui {

// Maps the layouts' face names to installed faces. Safe to call more than once.
void installFontSubstitutions();

// Gives `root` and each of its descendants that sets a font of its own the pixel size
// that its point size has at 96 dots per inch (8 points: 11 pixels).
void applyLayoutPixelFonts(QWidget* root);

} // namespace orvex::ui
