#include "gui/library/ui_thread_messenger.h"

#include <string>

#include <QCoreApplication>
#include <QThread>

namespace quillon {

namespace {

bool OnUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

}  // namespace

void UiThreadMessenger::Inform(std::string_view text, MessageKind kind) {
    if (OnUiThread()) {
        boxes_.Inform(text, kind);
        return;
    }
    std::string copy(text);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this, &copy, kind] { boxes_.Inform(copy, kind); },
        Qt::BlockingQueuedConnection);
}

bool UiThreadMessenger::AskYesNo(std::string_view text, MessageKind kind) {
    if (OnUiThread()) return boxes_.AskYesNo(text, kind);
    std::string copy(text);
    bool yes = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this, &copy, kind, &yes] { yes = boxes_.AskYesNo(copy, kind); },
        Qt::BlockingQueuedConnection);
    return yes;
}

}  // namespace quillon
