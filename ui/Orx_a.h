#pragma once
// The about box "quill".

#include <QDialog>

class Tquill : public QDialog {
    Q_OBJECT
public:
    // Loads the about box's bitmap files from the current folder; throws
    // std::runtime_error naming the first one that cannot be read.
    explicit Tquill(QWidget* owner = nullptr);
};

extern Tquill* quill;
