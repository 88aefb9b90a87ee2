#include "listening.h"

#include "length.h"
#include "render.h"
#include "timed_writer.h"
#include "tune_length.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QFutureWatcher>
#include <QMediaDevices>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <vector>

namespace orvex::ui {

namespace {

constexpr int kRate = 44100;
constexpr qsizetype kBlockFrames = kRate / 100;   // 10 ms rendered at a time
constexpr qsizetype kBufferFrames = kRate / 10;   // 100 ms ahead in the sound output

} // namespace

Listening::Listening(QObject* parent) : QObject(parent) {}

Listening::~Listening()
{
    stop();
}

QString Listening::start(const std::string& sapFile)
{
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return tr("There is no sound output to play the tune through.");
    try {
        renderer_ = std::make_unique<audio::Renderer>(sapFile, kRate);
    } catch (const audio::AudioError& e) {
        return tr("The tune cannot be played: %1.").arg(QString::fromUtf8(e.what()));
    }
    // Qt asks PulseAudio (and PipeWire's PulseAudio server) for no latency of its own: the
    // server would then fill its output ahead by up to 2 seconds and take our short buffer
    // in one gulp, which plays as a short sound and a long silence. A latency that the user
    // has set is kept.
    if (!qEnvironmentVariableIsSet("PULSE_LATENCY_MSEC"))
        qputenv("PULSE_LATENCY_MSEC", QByteArray::number(kBufferFrames * 1000 / kRate / 2));
    QAudioFormat format;
    format.setSampleRate(kRate);
    format.setChannelCount(renderer_->channels());
    format.setSampleFormat(QAudioFormat::Int16);
    sink_ = new QAudioSink(device, format, this);
    sink_->setBufferSize(kBufferFrames * format.bytesPerFrame());
    output_ = sink_->start();
    if (!output_ || sink_->error() != QAudio::NoError) {
        stop();
        return tr("The sound output \"%1\" cannot be opened.").arg(device.description());
    }
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &Listening::feed);
    timer_->start(kBlockFrames * 1000 / kRate);

    // The length, found on another thread from a copy of the file
    length_ = new QFutureWatcher<sap::TuneLength>(this);
    connect(length_, &QFutureWatcher<sap::TuneLength>::finished, this, &Listening::lengthFound);
    length_->setFuture(QtConcurrent::run([bytes = sapFile] { return sap::findLength(bytes, kTimeSearchSeconds); }));
    feed();
    return {};
}

void Listening::feed()
{
    if (!sink_)
        return;
    const int channels = renderer_->channels();
    const qsizetype frameBytes = 2 * channels;
    std::vector<std::int16_t> block(static_cast<std::size_t>(kBlockFrames * channels));
    try {
        while (!rendered_ && sink_->bytesFree() >= kBlockFrames * frameBytes) {
            const std::size_t made = renderer_->render(block.data(), kBlockFrames);
            rendered_ = made == 0;
            output_->write(reinterpret_cast<const char*>(block.data()), static_cast<qint64>(made) * frameBytes);
        }
    } catch (const audio::AudioError& e) {
        finish(tr("The tune cannot be played: %1.").arg(QString::fromUtf8(e.what())));
        return;
    }
    // All played: the sound output has taken the last frames and runs dry.
    if (sink_->state() == QAudio::StoppedState && sink_->error() != QAudio::NoError)
        finish(tr("The sound output stopped working."));
    else if (rendered_ && sink_->state() == QAudio::IdleState)
        finish({});
}

void Listening::lengthFound()
{
    if (renderer_ && length_)
        renderer_->setSpan(audio::audioLength(length_->result(), audio::LengthRule{}, kRate).span);
}

void Listening::stop()
{
    delete timer_;
    timer_ = nullptr;
    // The search for the length runs to its end on its own; its result is not wanted.
    delete length_;
    length_ = nullptr;
    if (sink_) {
        sink_->reset();
        sink_->stop();
        delete sink_;
        sink_ = nullptr;
    }
    output_ = nullptr;
    renderer_.reset();
    rendered_ = false;
}

void Listening::finish(const QString& problem)
{
    stop();
    emit ended(problem);
}

} // namespace orvex::ui
