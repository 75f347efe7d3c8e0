#include "core/aids/speech_worker.h"

#include "core/aids/speech_engine.h"

namespace quillon {

SpeechWorker::SpeechWorker(TtsConfig config, SpeechPage page, SpeechObserver& observer)
    : config_(std::move(config)), observer_(observer), page_(std::move(page)) {}

SpeechWorker::~SpeechWorker() {
    Stop();
    Join();
}

void SpeechWorker::Start() {
    running_ = true;
    cancel_ = false;
    thread_ = std::thread([this] { Run(); });
}

void SpeechWorker::Stop() {
    {
        std::lock_guard lock(mutex_);
        running_ = false;
        cancel_ = true;
    }
    wake_.notify_all();
}

void SpeechWorker::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void SpeechWorker::ContinueWith(SpeechPage page) {
    {
        std::lock_guard lock(mutex_);
        page_ = std::move(page);
    }
    wake_.notify_all();
}

void SpeechWorker::Run() {
    SpeechPos pos{0, 0};
    while (running_) {
        SpeechPage page;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return !running_ || page_.has_value(); });
            if (!running_) break;
            page = *page_;
        }
        if (page.rows() <= 0 || page.cols() <= 0) break;

        const SpeechUnit unit = FindSpeechUnit(page, pos);
        observer_.UnitStarted(unit);
        pos = NextReadingPosition(page, unit);
        if (!running_) break;

        // Engine word positions count characters of the trimmed text; map
        // each character back to its first and last cell.
        const size_t lead = unit.text.find_first_not_of(' ');
        const std::string spoken = TrimmedUnitText(unit);
        std::vector<std::pair<SpeechPos, SpeechPos>> chars;
        for (size_t i = lead; i != std::string::npos && i < lead + spoken.size();) {
            const size_t n = static_cast<unsigned char>(unit.text[i]) > 0x7F ? 2 : 1;
            chars.emplace_back(unit.cells[i], unit.cells[std::min(i + n, unit.cells.size()) - 1]);
            i += n;
        }
        const SpeechWordEvent onWord = [&](int first, int count) {
            if (chars.empty() || first >= static_cast<int>(chars.size())) return;
            const int last = std::min<int>(first + std::max(count, 1), chars.size()) - 1;
            observer_.WordReached(chars[static_cast<size_t>(first)].first,
                                  chars[static_cast<size_t>(last)].second);
        };
        const SpeakResult result = SpeakText(config_.voiceId, config_.rate, spoken, &cancel_, onWord);
        // Without a working engine the run would race through the book in
        // silence; it ends instead.
        if (result == SpeakResult::Failed) {
            failed_ = true;
            break;
        }
        if (!running_) break;

        if (pos.row >= page.rows()) {
            pos = {0, 0};
            {
                std::lock_guard lock(mutex_);
                page_.reset();
            }
            observer_.PageFinished();
        }
    }
    running_ = false;
    observer_.Finished();
}

}  // namespace quillon
