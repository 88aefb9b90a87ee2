#include "fixed_dialog.h"

#include "frame.h"
#include "picture.h"

#include <QKeyEvent>

#include <stdexcept>

namespace orvex::ui {

void fixToLayout(QWidget* window, Qt::WindowFlags flags)
{
    window->setWindowFlags(flags);
    window->setFixedSize(window->size());
}

void requireStoredPicture(const Picture* picture)
{
    if (picture->image().isNull())
        throw std::runtime_error(
            QStringLiteral("Cannot load the picture \"%1\".").arg(picture->picture()).toStdString());
}

void FixedDialog::showEvent(QShowEvent* event)
{
    centreWhenFramed(this);
    QDialog::showEvent(event);
}

void FixedDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace orvex::ui
