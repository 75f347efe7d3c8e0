#pragma once

#include "core/platform/messenger.h"
#include "gui/app/qt_messenger.h"

namespace quillon {

// A Messenger that workers may call: a message box can only be opened by the
// interface thread, so a call from any other thread is carried over to it
// and the worker waits for the answer, as the core rules expect of a box.
// Create it on the interface thread.
class UiThreadMessenger final : public Messenger {
public:
    explicit UiThreadMessenger(QWidget* parent = nullptr) : boxes_(parent) {}

    void Inform(std::string_view text, MessageKind kind = MessageKind::Information) override;
    bool AskYesNo(std::string_view text, MessageKind kind = MessageKind::Question) override;

private:
    QtMessenger boxes_;
};

}  // namespace quillon
