#include "gui/downloader/browser_page_loader.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

namespace quillon {

namespace {

// Counts the document's changes from the moment it is first asked; the
// count it returns is compared between polls.
const char* kChangeCounter =
    "(function(){if(window.__fwChanges===undefined){window.__fwChanges=0;"
    "new MutationObserver(function(){window.__fwChanges++;}).observe(document,"
    "{subtree:true,childList:true,attributes:true,characterData:true});}"
    "return window.__fwChanges;})()";

// Watches one page until it settles or the time is up, then reports once
// and deletes itself.
class SettleWatch final : public QObject {
public:
    SettleWatch(QWebEnginePage* page, const BrowserPageLoader::Timing& timing, bool loaded,
                std::function<void(bool, const QString&)> done)
        : QObject(page), page_(page), timing_(timing), loaded_(loaded), done_(std::move(done)) {
        clock_.start();
        connect(page, &QWebEnginePage::loadStarted, this, [this] { loaded_ = false; });
        connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
            if (!ok) {
                Finish(false, {});
                return;
            }
            loaded_ = true;
            lastChange_ = clock_.elapsed();
        });
        connect(&poll_, &QTimer::timeout, this, &SettleWatch::Poll);
        poll_.start(timing_.pollMs);
    }

private:
    void Poll() {
        if (finished_) return;
        if (clock_.elapsed() > timing_.timeoutMs) {
            Finish(false, {});
            return;
        }
        if (!loaded_ || asking_) return;
        asking_ = true;
        QPointer<SettleWatch> self(this);
        page_->runJavaScript(QString::fromLatin1(kChangeCounter), [self](const QVariant& v) {
            if (!self || self->finished_) return;
            self->asking_ = false;
            const qint64 changes = v.toLongLong();
            if (changes != self->changes_) {
                self->changes_ = changes;
                self->lastChange_ = self->clock_.elapsed();
            } else if (self->clock_.elapsed() - self->lastChange_ >= self->timing_.settleMs) {
                self->poll_.stop();
                self->page_->toHtml([self](const QString& html) {
                    if (self) self->Finish(true, html);
                });
            }
        });
    }

    void Finish(bool ok, const QString& html) {
        if (finished_) return;
        finished_ = true;
        poll_.stop();
        auto done = std::move(done_);
        deleteLater();
        done(ok, html);
    }

    QWebEnginePage* page_;
    BrowserPageLoader::Timing timing_;
    bool loaded_;
    bool asking_ = false;
    bool finished_ = false;
    qint64 changes_ = -1;
    qint64 lastChange_ = 0;
    QElapsedTimer clock_;
    QTimer poll_;
    std::function<void(bool, const QString&)> done_;
};

}  // namespace

BrowserPageLoader::BrowserPageLoader(QObject* parent) : QObject(parent) {
    // Off the record: nothing of the sites visited stays on disk.
    profile_ = new QWebEngineProfile(this);
}

BrowserPageLoader::~BrowserPageLoader() = default;

void BrowserPageLoader::SetUserAgent(const QString& agent) {
    if (!agent.isEmpty()) profile_->setHttpUserAgent(agent);
}

void BrowserPageLoader::Load(const QUrl& url, std::function<void(bool, const QString&)> done) {
    auto* page = new QWebEnginePage(profile_, this);
    // Shown to its scripts as a visible page, so they do not hold back work
    // for when the user looks at it.
    page->setVisible(true);
    new SettleWatch(page, timing_, false, [page, done = std::move(done)](bool ok, const QString& html) {
        page->deleteLater();
        done(ok, html);
    });
    page->load(url);
}

void BrowserPageLoader::Capture(QWebEnginePage* page, const Timing& timing,
                                std::function<void(bool, const QString&)> done) {
    // A page that is not loading any more has finished its load.
    new SettleWatch(page, timing, true, std::move(done));
}

std::string BrowserPageLoader::ForAnalysis(const QString& html) {
    // The DOM is text already: whatever charset the document named, its
    // serialisation is Unicode, and the first charset named is the one read.
    return "<meta charset=\"utf-8\">" + html.toStdString();
}

PageLoader BrowserPageLoader::MakeLoader() {
    QPointer<BrowserPageLoader> self(this);
    return [self](const std::string& url, std::string& page, const std::atomic<bool>* stop) -> int {
        struct Answer {
            std::mutex mutex;
            std::condition_variable ready;
            bool done = false, ok = false;
            QString html;
        };
        auto answer = std::make_shared<Answer>();
        page.clear();
        const QUrl address = QUrl::fromEncoded(QByteArray::fromStdString(EscapeUrlForRequest(url)));
        if (!address.isValid() || address.isEmpty() || !self) return kFetchNotOpened;
        QMetaObject::invokeMethod(
            self.data(),
            [self, address, answer] {
                if (!self) return;
                self->Load(address, [answer](bool ok, const QString& html) {
                    std::lock_guard lock(answer->mutex);
                    answer->ok = ok;
                    answer->html = html;
                    answer->done = true;
                    answer->ready.notify_all();
                });
            },
            Qt::QueuedConnection);
        std::unique_lock lock(answer->mutex);
        while (!answer->done) {
            if (stop != nullptr && stop->load()) return kFetchAbandoned;
            if (!self) return kFetchNotOpened;
            answer->ready.wait_for(lock, std::chrono::milliseconds(100));
        }
        if (!answer->ok) return kFetchNotOpened;
        page = ForAnalysis(answer->html);
        return kFetchDone;
    };
}

}  // namespace quillon
