#include "Orx_s.h"

#include <QCloseEvent>
#include <QTimer>

Tscreen* screen = nullptr;

Tscreen::Tscreen(QWidget* owner) : FixedDialog(owner)
{
    setupUi(this);
    orvex::ui::fixToLayout(this, Qt::Dialog | Qt::FramelessWindowHint);
    orvex::ui::requireStoredPicture(Image1);

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
    FixedDialog::showEvent(event);
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
