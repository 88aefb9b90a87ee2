#include "Orx_a.h"

Tquill* quill = nullptr;

Tquill::Tquill(QWidget* owner) : QDialog(owner)
{
    setWindowTitle("About Orvex...!");
}
