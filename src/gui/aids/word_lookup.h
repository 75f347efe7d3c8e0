#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;

namespace quillon {

class Dictionary;
class PhoneticPanel;
class ReadingPage;

// English word lookup on one reading page: a clicked word is looked up,
// shown in the status line and the phonetic panel, and spoken; the
// explanation button opens the word's page online in a new tab.
class WordLookup final : public QObject {
    Q_OBJECT
public:
    using OpenInNewTab = std::function<void(const QString& url)>;
    WordLookup(ReadingPage& page, Dictionary& dictionary, OpenInNewTab openInNewTab);
    ~WordLookup() override;

    // The page's hook: true with the status and panel texts when found.
    bool Look(const std::string& word, std::string& status, std::string& panel);
    // Button 1090: [READER_ENGLISH_EXPLAIN] with WORD_WORD replaced by the
    // panel's word.
    void OpenExplanation();

    PhoneticPanel* panel() const { return panel_; }
    // Words spoken so far (each on its own worker thread).
    int wordsSpoken() const { return spoken_.load(); }

private:
    void SpeakWord(const std::string& word);
    void ReapSpeakers(bool all);

    struct Speaker {
        std::thread thread;
        std::atomic<bool> cancel{false};
        std::atomic<bool> done{false};
    };

    QPointer<ReadingPage> page_;
    Dictionary& dictionary_;
    OpenInNewTab openInNewTab_;
    QLabel* host_ = nullptr;
    PhoneticPanel* panel_ = nullptr;
    std::list<std::unique_ptr<Speaker>> speakers_;
    std::atomic<int> spoken_{0};
};

WordLookup* AttachWordLookup(ReadingPage& page, Dictionary& dictionary,
                             WordLookup::OpenInNewTab openInNewTab);

// Gives every reading page of the page hosts its word lookup, opening
// explanations in a new tab of the host's frame. Call once at start, after
// the reading panel is registered.
void RegisterWordLookup();

}  // namespace quillon
