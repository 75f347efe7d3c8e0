#include "gui/aids/speech_reading.h"

#include <QPushButton>

#include "core/text/gbk_literal.h"
#include "gui/aids/speech_settings_dialog.h"
#include "gui/app/qt_messenger.h"
#include "gui/reader/modal_seam.h"
#include "gui/reader/reading_page.h"

namespace quillon {

namespace {
const QString kIdleCaption = QStringLiteral("语音阅读");
const QString kReadingCaption = QStringLiteral("停止阅读");
}  // namespace

// Carries the worker's reports, made on its thread, over to the page's
// thread. Each report names its run, so one from a run that was stopped
// and replaced is dropped there.
class SpeechReading::Bridge final : public SpeechObserver {
public:
    Bridge(SpeechReading* owner, int run) : owner_(owner), run_(run) {}
    void UnitStarted(const SpeechUnit& unit) override {
        Post([unit](SpeechReading* s, int run) { s->OnUnit(run, unit); });
    }
    void WordReached(SpeechPos first, SpeechPos last) override {
        Post([first, last](SpeechReading* s, int run) { s->OnWord(run, first, last); });
    }
    void PageFinished() override {
        Post([](SpeechReading* s, int run) { s->OnPageFinished(run); });
    }
    void Finished() override {
        Post([](SpeechReading* s, int run) { s->OnFinished(run); });
    }

private:
    template <typename F>
    void Post(F f) {
        QPointer<SpeechReading> target = owner_;
        const int run = run_;
        QMetaObject::invokeMethod(
            owner_, [target, run, f] { if (target) f(target.data(), run); },
            Qt::QueuedConnection);
    }
    SpeechReading* owner_;
    int run_;
};

SpeechReading::SpeechReading(ReadingPage& page) : QObject(&page), page_(&page) {
    setObjectName(QStringLiteral("speechReading"));
    button_ = page.findChild<QPushButton*>(QStringLiteral("speechButton"));
    if (button_) {
        button_->setEnabled(true);
        connect(button_, &QPushButton::clicked, this, &SpeechReading::Toggle);
    }
}

SpeechReading::~SpeechReading() {
    // The worker must be gone before the bridge it reports to.
    worker_.reset();
    bridge_.reset();
}

SpeechReading* SpeechReading::Of(const ReadingPage& page) {
    return page.findChild<SpeechReading*>(QStringLiteral("speechReading"),
                                          Qt::FindDirectChildrenOnly);
}

void SpeechReading::Toggle() {
    if (!button_ || button_->text() == kIdleCaption) {
        SpeechSettingsDialog dialog(page_);
        if (ModalSeam::Exec(&dialog) != QDialog::Accepted) return;
        Start(dialog.config());
        return;
    }
    Stop();
}

void SpeechReading::Start(const TtsConfig& config) {
    if (!page_) return;
    config_ = config;
    page_->SetSpeechColours(config_.background, config_.textColour);
    worker_.reset();  // an earlier run ends within its unit
    bridge_ = std::make_unique<Bridge>(this, ++run_);
    stopping_ = false;
    reading_ = ShownLayout();
    worker_ = std::make_unique<SpeechWorker>(config_, SpeechPage(page_->model()), *bridge_);
    worker_->Start();
    if (button_) button_->setText(kReadingCaption);
}

void SpeechReading::Stop() {
    if (!worker_) return;
    worker_->Stop();
    stopping_ = true;
    if (button_) {
        button_->setText(kIdleCaption);
        // Until the voice has let go of its unit; the end of the run
        // enables it again.
        button_->setEnabled(false);
    }
}

int32_t SpeechReading::OffsetOf(SpeechPos pos) const {
    const PagingModel& m = page_->model();
    const int32_t line = m.topLine() + pos.row;
    if (line < 0 || line >= m.lineCount()) return m.textLength();
    return m.lineTable()[line].start + pos.col;
}

SpeechReading::Layout SpeechReading::ShownLayout() const {
    const PagingModel& m = page_->model();
    return {m.topLine(), m.rows(), m.cols()};
}

void SpeechReading::OnUnit(int run, const SpeechUnit& unit) {
    if (run != run_ || !page_ || stopping_) return;
    if (ShownLayout() != reading_) {
        // The reader turned the page or changed its layout while it was
        // being read: the unit's cells are no longer on screen. Reading
        // goes on from the top of the page now shown.
        Start(config_);
        return;
    }
    PagingModel& m = page_->model();
    CellGrid& grid = m.cellGrid();
    for (int r = 0; r < m.rows(); ++r)
        for (int c = 0; c <= m.cols(); ++c) grid.At(r, c).spoken = 0;
    for (const SpeechPos& p : unit.cells)
        if (p.row < m.rows() && p.col <= m.cols()) grid.At(p.row, p.col).spoken = 1;
    m.spokenFrom = OffsetOf(unit.first);
    m.spokenTo = OffsetOf(unit.last) + 1;
    page_->DrawPage();
}

void SpeechReading::OnWord(int run, SpeechPos first, SpeechPos last) {
    if (run != run_ || !page_) return;
    // The range follows the word the voice is on; the cells stay lit for
    // the whole unit so the eye does not lose its place between words.
    page_->model().spokenFrom = OffsetOf(first);
    page_->model().spokenTo = OffsetOf(last) + 1;
}

void SpeechReading::OnPageFinished(int run) {
    if (run != run_ || !page_ || !worker_ || stopping_) return;
    const int32_t before = page_->model().topLine();
    page_->NextPageCommand();
    // On the last page the page cannot turn; reading it again from the
    // top would never end, so the run ends with the book.
    if (page_->model().topLine() == before) {
        worker_->Stop();
        return;
    }
    reading_ = ShownLayout();
    worker_->ContinueWith(SpeechPage(page_->model()));
}

void SpeechReading::OnFinished(int run) {
    if (run != run_) return;
    const bool failed = worker_ && worker_->failed();
    worker_.reset();
    bridge_.reset();
    stopping_ = false;
    if (page_) {
        PagingModel& m = page_->model();
        for (int r = 0; r < m.rows(); ++r)
            for (int c = 0; c <= m.cols(); ++c) m.cellGrid().At(r, c).spoken = 0;
        m.spokenFrom = m.spokenTo = 0;
        page_->DrawPage();
    }
    if (button_) {
        button_->setText(kIdleCaption);
        button_->setEnabled(true);
    }
    // Otherwise the button would flip back at once with no word of why.
    if (failed && page_)
        QtMessenger(page_.data()).Inform(Gbk("无法播放声音：没有可用的音频输出"), MessageKind::Warning);
    Q_EMIT finished();
}

SpeechReading* AttachSpeechReading(ReadingPage& page) {
    if (SpeechReading* existing = SpeechReading::Of(page)) return existing;
    return new SpeechReading(page);
}

}  // namespace quillon
