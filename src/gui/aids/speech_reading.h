#pragma once

#include <memory>

#include <QObject>
#include <QPointer>

#include "core/aids/speech_config.h"
#include "core/aids/speech_worker.h"

class QPushButton;

namespace quillon {

class ReadingPage;

// Reading aloud on one reading page: serves its speech button, runs the
// speech worker, and turns the worker's reports into the page's highlight
// and page turns on the page's own thread. Lives as a child of the page, so
// closing the page stops the run first.
class SpeechReading final : public QObject {
    Q_OBJECT
public:
    explicit SpeechReading(ReadingPage& page);
    ~SpeechReading() override;

    // The speech button: settings dialog and start when idle, stop while
    // reading.
    void Toggle();
    void Start(const TtsConfig& config);
    void Stop();

    bool reading() const { return worker_ != nullptr && !stopping_; }
    const TtsConfig& config() const { return config_; }

    // The reading aid of `page`, or null when none is attached.
    static SpeechReading* Of(const ReadingPage& page);

Q_SIGNALS:
    // The run has ended and the button is back to idle.
    void finished();

private:
    class Bridge;
    void OnUnit(int run, const SpeechUnit& unit);
    void OnWord(int run, SpeechPos first, SpeechPos last);
    void OnPageFinished(int run);
    void OnFinished(int run);
    int32_t OffsetOf(SpeechPos pos) const;
    // Which page layout the worker reads: the shown page's first line and
    // its grid size.
    struct Layout {
        int32_t topLine = -1;
        int rows = 0;
        int cols = 0;
        bool operator==(const Layout&) const = default;
    };
    Layout ShownLayout() const;

    QPointer<ReadingPage> page_;
    QPushButton* button_ = nullptr;
    TtsConfig config_;
    std::unique_ptr<Bridge> bridge_;
    std::unique_ptr<SpeechWorker> worker_;
    Layout reading_;
    int run_ = 0;
    bool stopping_ = false;
};

// Attaches reading aloud to `page` and enables its speech button.
SpeechReading* AttachSpeechReading(ReadingPage& page);

}  // namespace quillon
