#pragma once

#include <deque>
#include <functional>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "core/platform/messenger.h"

namespace quillon {

// Shows core messages in message boxes. Texts arrive as GBK and are
// converted for the screen here.
//
// Tests answer boxes without showing them: SetNextAnswer queues answers and
// LastMessages records every text, in order. While answers are queued (or
// while the test mode is on) nothing is shown.
class QtMessenger final : public Messenger {
public:
    explicit QtMessenger(QWidget* parent = nullptr) : parent_(parent) {}

    void Inform(std::string_view text, MessageKind kind = MessageKind::Information) override;
    bool AskYesNo(std::string_view text, MessageKind kind = MessageKind::Question) override;

    // Test seam, shared by every QtMessenger of the process.
    static void SetTestMode(bool on);
    static void SetNextAnswer(bool yes);
    static QStringList& Shown();

private:
    QPointer<QWidget> parent_;
};

// The title the program's message boxes carry ("Quillon" unless the program
// sets its own name at start).
QString MessageTitle();
void SetMessageTitle(const QString& title);

}  // namespace quillon
