#include "gui/downloader/dialog_seams.h"

#include <deque>

#include <QDesktopServices>
#include <QFileDialog>
#include <QStringList>

#include "core/platform/program_folder.h"

namespace quillon {

namespace {
bool g_pickerTestMode = false;
std::deque<QString> g_pickerAnswers;

std::function<bool(const QUrl&)>& DesktopOpener() {
    static std::function<bool(const QUrl&)> opener;
    return opener;
}
std::function<int(QDialog&)>& ModalRunner() {
    static std::function<int(QDialog&)> runner;
    return runner;
}
}  // namespace

QStringList& FolderPicker::Asked() {
    static QStringList asked;
    return asked;
}

void FolderPicker::SetTestMode(bool on) { g_pickerTestMode = on; }
void FolderPicker::SetNextAnswer(const QString& folder) { g_pickerAnswers.push_back(folder); }

QString FolderPicker::Choose(QWidget* parent, const QString& title, const QString& start) {
    Asked().append(title);
    QString chosen;
    if (!g_pickerAnswers.empty()) {
        chosen = g_pickerAnswers.front();
        g_pickerAnswers.pop_front();
    } else if (!g_pickerTestMode) {
        chosen = QFileDialog::getExistingDirectory(parent, title, start);
    }
    EnterProgramFolder();
    return chosen;
}

bool OpenWithDesktop(const QUrl& url) {
    auto& opener = DesktopOpener();
    return opener ? opener(url) : QDesktopServices::openUrl(url);
}

void SetDesktopOpener(std::function<bool(const QUrl&)> opener) { DesktopOpener() = std::move(opener); }

}  // namespace quillon

namespace quillon {

int RunModal(QDialog& dialog) {
    auto& runner = ModalRunner();
    return runner ? runner(dialog) : dialog.exec();
}

void SetModalRunner(std::function<int(QDialog&)> runner) { ModalRunner() = std::move(runner); }

}  // namespace quillon
