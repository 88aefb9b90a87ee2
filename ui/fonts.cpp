#include "fonts.h"

#include <QFont>
#include <QStringList>
#include <QWidget>

#include <cmath>

namespace orvex::ui {

namespace {

void addSubstitutes(const QString& family, const QStringList& faces)
{
    const QStringList present = QFont::substitutes(family);
    for (const QString& face : faces) {
        if (!present.contains(face))
            QFont::insertSubstitution(family, face);
    }
}

void toPixels(QWidget* widget)
{
    QFont font = widget->font();
    if (font.pointSizeF() <= 0)
        return;
    font.setPixelSize(static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0)));
    widget->setFont(font);
}

} // namespace

void installFontSubstitutions()
{
    // Liberation Sans (and Arimo, its newer name) are drawn to Arial's metrics. Of the
    // faces at hand, DejaVu Sans comes closest to the widths of MS Sans Serif in bold.
    addSubstitutes(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    addSubstitutes(QStringLiteral("MS Sans Serif"),
                   {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
}

void applyLayoutPixelFonts(QWidget* root)
{
    if (root->testAttribute(Qt::WA_SetFont))
        toPixels(root);
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (child->testAttribute(Qt::WA_SetFont) && child->font().pointSizeF() > 0)
            toPixels(child);
    }
}

} // namespace orvex::ui
