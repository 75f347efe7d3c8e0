#include "gui/library/shelf_seams.h"

#include <deque>

#include <QDesktopServices>
#include <QFileDialog>
#include <QProcess>
#include <QUrl>

#include "core/platform/process.h"
#include "gui/app/text_convert.h"

namespace quillon {

namespace {

std::deque<QString>& NextFileNames() {
    static std::deque<QString> q;
    return q;
}

std::deque<QString>& NextFolderNames() {
    static std::deque<QString> q;
    return q;
}

bool DefaultStart(const QString& program, const QStringList& arguments) {
    // The core starter detaches through a double fork and reports whether
    // exec succeeded; it takes one argument, so longer command lines (an
    // editor given with options in $VISUAL) go through QProcess.
    if (arguments.size() <= 1 && program.startsWith(QLatin1Char('/')))
        return StartDetached(ToUtf8(program), arguments.isEmpty() ? std::string() : ToUtf8(arguments[0]));
    return QProcess::startDetached(program, arguments);
}

ProgramStarter& Starter() {
    static ProgramStarter s = DefaultStart;
    return s;
}

FolderOpener& Opener() {
    static FolderOpener o = [](const QString& folder) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    };
    return o;
}

}  // namespace

void SetNextFileName(const QString& path) { NextFileNames().push_back(path); }

QString PickOpenFileName(QWidget* parent, const QString& title, const QString& filter) {
    if (!NextFileNames().empty()) {
        QString answer = NextFileNames().front();
        NextFileNames().pop_front();
        return answer;
    }
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

void SetNextFolderName(const QString& path) { NextFolderNames().push_back(path); }

QString PickFolderName(QWidget* parent, const QString& title, const QString& start) {
    if (!NextFolderNames().empty()) {
        QString answer = NextFolderNames().front();
        NextFolderNames().pop_front();
        return answer;
    }
    return QFileDialog::getExistingDirectory(parent, title, start);
}

void SetProgramStarter(ProgramStarter starter) { Starter() = starter ? std::move(starter) : DefaultStart; }

bool StartProgram(const QString& program, const QStringList& arguments) {
    return Starter()(program, arguments);
}

void SetFolderOpener(FolderOpener opener) {
    if (opener) Opener() = std::move(opener);
}

void OpenFolderInFileManager(const QString& folder) { Opener()(folder); }

}  // namespace quillon
