#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// How a message looks to the user: the icon of its box.
enum class MessageKind { Information, Warning, Question };

// Every message box a core rule shows goes through this seam. Texts are GBK,
// like every text of the core; the GUI converts them for the screen and the
// tests record them. No core function opens a dialog itself.
class Messenger {
public:
    virtual ~Messenger() = default;
    // Shows `text` and waits for the user to dismiss it.
    virtual void Inform(std::string_view text, MessageKind kind = MessageKind::Information) = 0;
    // Asks a Yes/No question; true for Yes.
    virtual bool AskYesNo(std::string_view text, MessageKind kind = MessageKind::Question) = 0;
};

// A Messenger that records what it was told and answers questions from a
// queue (No when the queue is empty). For tests and for headless use.
class RecordingMessenger final : public Messenger {
public:
    struct Entry {
        std::string text;
        MessageKind kind = MessageKind::Information;
        bool question = false;
    };

    void Inform(std::string_view text, MessageKind kind) override {
        entries.push_back({std::string(text), kind, false});
    }
    bool AskYesNo(std::string_view text, MessageKind kind) override {
        entries.push_back({std::string(text), kind, true});
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<Entry> entries;
    std::deque<bool> answers;
};

}  // namespace quillon
