#pragma once
// "Listen": a SAP file played from memory through the system's sound output. libgme
// renders a few milliseconds at a time, on the window's thread, as the sound output takes
// them; the tune's length is found meanwhile on another thread, so that playing starts at
// once and ends where the tune ends (its TIME, or its loop faded out).

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class QAudioSink;
class QIODevice;
class QTimer;
template <typename T> class QFutureWatcher;

namespace orvex::audio {
class Renderer;
}
namespace orvex::sap {
struct TuneLength;
}

namespace orvex::ui {

class Listening : public QObject {
    Q_OBJECT
public:
    explicit Listening(QObject* parent = nullptr);
    ~Listening() override;

    // Starts playing the SAP file; "" when it plays, else why it cannot (a sentence).
    QString start(const std::string& sapFile);
    // Stops at once; what is still buffered is dropped.
    void stop();
    bool playing() const { return sink_ != nullptr; }

signals:
    // Playing has stopped: at the tune's end, or because it failed (`problem` says why).
    void ended(const QString& problem);

private:
    void feed();
    void lengthFound();
    void finish(const QString& problem);

    std::unique_ptr<audio::Renderer> renderer_;
    QAudioSink* sink_ = nullptr;
    QIODevice* output_ = nullptr;
    QTimer* timer_ = nullptr;
    QFutureWatcher<sap::TuneLength>* length_ = nullptr;
    bool rendered_ = false;  // the renderer has given its last frame
};

} // namespace orvex::ui
