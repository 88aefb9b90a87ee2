#include "chunky_font.h"

#include <QImage>

namespace orvex::ui {

QPixmap chunkyText(const QString& text, QColor ink)
{
    static const QImage sheet(QStringLiteral(":/pictures/chunky-font.png"));
    QImage drawn(static_cast<int>(text.size()) * 16, 16, QImage::Format_ARGB32);
    drawn.fill(Qt::transparent);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int code = text.at(i).toUpper().unicode();
        if (code < 32 || code > 126 || sheet.isNull())
            continue;
        const int left = (code - 32) % 16 * 8, top = (code - 32) / 16 * 8;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                if (qGray(sheet.pixel(left + x, top + y)) < 128) {
                    for (int d = 0; d < 4; ++d)
                        drawn.setPixelColor(static_cast<int>(i) * 16 + 2 * x + d % 2, 2 * y + d / 2, ink);
                }
            }
        }
    }
    return QPixmap::fromImage(drawn);
}

} // namespace orvex::ui
