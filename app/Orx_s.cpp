#include "Orx_s.h"

#include "picture.h"
#include "ui_Orx_s.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include <stdexcept>

Tscreen* screen = nullptr;

Tscreen::Tscreen(QWidget* owner) : QDialog(owner)
{
    Ui::Tscreen ui;
    ui.setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(633, 471);

    Image1 = ui.Image1;
    // The embedded picture is part of the program.
    if (Image1->image().isNull())
        throw std::runtime_error(
            QStringLiteral("Cannot load the picture \"%1\".").arg(Image1->picture()).toStdString());

    Zegar = new QTimer(this);
    Zegar->setObjectName(QStringLiteral("Zegar"));
    Zegar->setInterval(3000);
    // Never a moment early: a coarse timer may fire up to 5% before its time.
    Zegar->setTimerType(Qt::PreciseTimer);
    Zegar->start();
    connect(Zegar, &QTimer::timeout, this, &Tscreen::ZegarTimer);

    FormCreate();
}

void Tscreen::FormCreate()
{
    // Already running since creation; starting it again would restart the count.
    if (!Zegar->isActive())
        Zegar->start();
}

void Tscreen::ZegarTimer()
{
    timeUp_ = true;
    close();
}

void Tscreen::showEvent(QShowEvent* event)
{
    // Centred on the screen, whatever the stored position.
    if (QScreen* shownOn = QWidget::screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(shownOn->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
    // Shown after its time is over: close as soon as the showing (and a modal
    // loop, when shown modally) has started.
    if (timeUp_)
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void Tscreen::closeEvent(QCloseEvent* event)
{
    // Only the timer closes the splash, not the window system's close request.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void Tscreen::keyPressEvent(QKeyEvent* event)
{
    // Nothing to work with: Escape does not close it early.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
