#include "Orx_s.h"

Tscreen* screen = nullptr;

Tscreen::Tscreen(QWidget* owner) : QDialog(owner)
{
    setWindowTitle("screen");
}
