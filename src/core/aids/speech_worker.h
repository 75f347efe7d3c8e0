#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "core/aids/speech_config.h"
#include "core/aids/speech_units.h"

namespace quillon {

// What a reading run tells its page. Every call comes from the worker's
// thread; the page must hand them to its own thread.
class SpeechObserver {
public:
    virtual ~SpeechObserver() = default;
    // `unit` is about to be spoken: highlight its cells.
    virtual void UnitStarted(const SpeechUnit& unit) = 0;
    // The engine has reached the word on cells first..last of the unit.
    virtual void WordReached(SpeechPos first, SpeechPos last) = 0;
    // The last row of the page has been read: show the next page and give
    // it to ContinueWith, or Stop when there is none.
    virtual void PageFinished() = 0;
    // The run has ended (stopped, page gone, or no speech engine).
    virtual void Finished() = 0;
};

// One reading run: reads the page unit by unit from row 0, column 0, page
// after page, until stopped. A stop takes effect within the unit being
// spoken, since the engine is cancelled mid-text.
class SpeechWorker final {
public:
    SpeechWorker(TtsConfig config, SpeechPage page, SpeechObserver& observer);
    ~SpeechWorker();  // stops and waits for the thread
    SpeechWorker(const SpeechWorker&) = delete;
    SpeechWorker& operator=(const SpeechWorker&) = delete;

    void Start();
    // Clears the running flag; the thread ends by itself shortly after.
    void Stop();
    // The next page after PageFinished; reading resumes at row 0, column 0.
    void ContinueWith(SpeechPage page);
    bool running() const { return running_.load(); }
    // The engine could not speak (no sound output, no voice): the run ended
    // without reading.
    bool failed() const { return failed_.load(); }
    void Join();

private:
    void Run();

    TtsConfig config_;
    SpeechObserver& observer_;
    std::atomic<bool> running_{false};
    std::atomic<bool> cancel_{false};
    std::atomic<bool> failed_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<SpeechPage> page_;
    std::thread thread_;
};

}  // namespace quillon
