#include "gui/aids/word_lookup.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVariant>

#include "core/aids/speech_config.h"
#include "core/aids/speech_engine.h"
#include "core/aids/word_dictionary.h"
#include "core/config/tag_file.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "gui/aids/word_panel.h"
#include "gui/app/text_convert.h"
#include "gui/reader/reading_page.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/panel_factories.h"

namespace quillon {

namespace {

// Keeps the phonetic panel over the whole of the page's word label, which
// the page sizes and shows with the bottom bar.
class FillParent final : public QObject {
public:
    FillParent(QWidget* child, QObject* parent) : QObject(parent), child_(child) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && child_)
            child_->setGeometry(static_cast<QWidget*>(watched)->rect());
        return false;
    }

private:
    QPointer<QWidget> child_;
};

// The page's lookup, so a second attach finds the first.
constexpr char kLookupProperty[] = "quillonWordLookup";

}  // namespace

WordLookup::WordLookup(ReadingPage& page, Dictionary& dictionary, OpenInNewTab openInNewTab)
    : page_(&page), dictionary_(dictionary), openInNewTab_(std::move(openInNewTab)) {
    setObjectName(QStringLiteral("wordLookup"));
    // Not a child of the page: ~QWidget deletes children after the page's
    // own members are gone, while the QPointer still names the page, so the
    // destructor would write into a destroyed page. Deleted once the page is
    // gone instead, clearing the pointer by hand first: while `destroyed`
    // runs it still names the page, and reading it would treat the bare
    // QObject left of it as a ReadingPage.
    connect(&page, &QObject::destroyed, this, [this] {
        page_.clear();
        delete this;
    });
    page.setProperty(kLookupProperty, QVariant::fromValue<QObject*>(this));
    host_ = page.findChild<QLabel*>(QStringLiteral("wordPanel"));
    if (host_) {
        host_->setEnabled(true);
        // The label's own text only sizes the bar; it matches the panel's
        // fonts so the panel fits.
        QFont f(QStringLiteral("宋体"));
        f.setPixelSize(18);
        host_->setFont(f);
        panel_ = new PhoneticPanel(host_);
        panel_->setGeometry(host_->rect());
        host_->installEventFilter(new FillParent(panel_, host_));
    }
    if (auto* explain = page.findChild<QPushButton*>(QStringLiteral("wordExplainButton"))) {
        explain->setEnabled(true);
        connect(explain, &QPushButton::clicked, this, &WordLookup::OpenExplanation);
    }
    page.SetWordLookup([this](const std::string& word, std::string& status, std::string& panel) {
        return Look(word, status, panel);
    });
}

WordLookup::~WordLookup() {
    if (page_) page_->SetWordLookup({});
    ReapSpeakers(true);
}

bool WordLookup::Look(const std::string& word, std::string& status, std::string& panel) {
    LookupResult result{word, {}, {}, {}};
    const bool found = dictionary_.Lookup(result) == 0;
    if (found) {
        status = " " + result.found + " : " + result.meaning;
        if (panel_) panel_->Show(result.found, result.panelText, 18, 18);
        panel = result.found + "  " + result.panelText;
    }
    SpeakWord(word);
    return found;
}

void WordLookup::SpeakWord(const std::string& word) {
    ReapSpeakers(false);
    // A new click makes the previous word stop; each one has its own
    // worker, so the page never waits for the voice.
    for (auto& s : speakers_) s->cancel = true;
    const TtsConfig config = LoadTtsConfig(TtsConfigPath());
    auto speaker = std::make_unique<Speaker>();
    Speaker* raw = speaker.get();
    speaker->thread = std::thread([raw, config, word, this] {
        if (SpeakText(config.voiceId, config.rate, word, &raw->cancel) == SpeakResult::Spoken)
            ++spoken_;
        raw->done = true;
    });
    speakers_.push_back(std::move(speaker));
}

void WordLookup::ReapSpeakers(bool all) {
    for (auto it = speakers_.begin(); it != speakers_.end();) {
        Speaker& s = **it;
        if (all) s.cancel = true;
        if (all || s.done) {
            s.thread.join();
            it = speakers_.erase(it);
        } else {
            ++it;
        }
    }
}

void WordLookup::OpenExplanation() {
    TagFile tags;
    tags.Open(GetProgramFolder() + "data/main.htm");
    std::string url = tags.GetValue("[READER_ENGLISH_EXPLAIN]");
    url = ReplaceAll(url, "WORD_WORD", panel_ ? panel_->word() : std::string());
    // Without a configured address the new tab shows an empty page rather
    // than an address the browser cannot take.
    const QString address = url.empty() ? QStringLiteral("about:blank") : FromGbk(url);
    if (openInNewTab_) openInNewTab_(address);
}

WordLookup* AttachWordLookup(ReadingPage& page, Dictionary& dictionary,
                             WordLookup::OpenInNewTab openInNewTab) {
    if (auto* existing = qobject_cast<WordLookup*>(page.property(kLookupProperty).value<QObject*>()))
        return existing;
    return new WordLookup(page, dictionary, std::move(openInNewTab));
}

void RegisterWordLookup() {
    ReadingPanelFactory inner = GetReadingPanelFactory();
    if (!inner) return;
    SetReadingPanelFactory([inner](BrowserPage* host) {
        ReadingPanelBinding binding = inner(host);
        if (auto* page = qobject_cast<ReadingPage*>(binding.widget)) {
            QPointer<CMainFrame> frame = host->frame();
            AttachWordLookup(*page, Dictionary::Program(), [frame](const QString& url) {
                if (frame) frame->OpenTab(url, true);
            });
        }
        return binding;
    });
}

}  // namespace quillon
