#include "gui/app/qt_messenger.h"

#include <QMessageBox>

#include "gui/app/text_convert.h"

namespace quillon {

namespace {
bool g_testMode = false;
std::deque<bool> g_answers;
}  // namespace

QStringList& QtMessenger::Shown() {
    static QStringList shown;
    return shown;
}

void QtMessenger::SetTestMode(bool on) { g_testMode = on; }
void QtMessenger::SetNextAnswer(bool yes) { g_answers.push_back(yes); }

QString& TitleStorage() {
    static QString title = QStringLiteral("Quillon");
    return title;
}

QString MessageTitle() { return TitleStorage(); }
void SetMessageTitle(const QString& title) { TitleStorage() = title; }

void QtMessenger::Inform(std::string_view text, MessageKind kind) {
    QString t = FromGbk(text);
    Shown().append(t);
    if (g_testMode) return;
    if (kind == MessageKind::Warning)
        QMessageBox::warning(parent_, MessageTitle(), t);
    else
        QMessageBox::information(parent_, MessageTitle(), t);
}

bool QtMessenger::AskYesNo(std::string_view text, MessageKind kind) {
    QString t = FromGbk(text);
    Shown().append(t);
    if (!g_answers.empty()) {
        bool a = g_answers.front();
        g_answers.pop_front();
        return a;
    }
    if (g_testMode) return false;
    auto icon = kind == MessageKind::Warning ? QMessageBox::Warning : QMessageBox::Question;
    QMessageBox box(icon, MessageTitle(), t, QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace quillon
