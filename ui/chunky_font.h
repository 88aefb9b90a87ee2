#pragma once
// The about box's scroller lettering where the font "Atari Classic Chunky" is not
// installed: a chunky 8 x 8 pixel font of our own (:/pictures/chunky-font.png), drawn
// at twice its size, 16 pixels per character.

#include <QColor>
#include <QPixmap>
#include <QString>

namespace orvex::ui {

// The text in the chunky font, `ink` on a transparent ground; small letters are drawn
// as capitals and characters the font lacks as spaces.
QPixmap chunkyText(const QString& text, QColor ink);

} // namespace orvex::ui
