#pragma once

#include <functional>

#include <QString>
#include <QUrl>

class QDialog;
class QWidget;

namespace quillon {

// The folder chooser, behind a seam so tests can answer it without a modal
// dialog: queued answers are returned in order (an empty one is a cancel),
// and while the test mode is on nothing is ever shown.
class FolderPicker final {
public:
    // The chosen folder, or "" when the user cancelled. The program folder is
    // made current again afterwards, since every relative path depends on it.
    static QString Choose(QWidget* parent, const QString& title, const QString& start);

    static void SetTestMode(bool on);
    static void SetNextAnswer(const QString& folder);
    // Titles of the pickers asked for, in order.
    static QStringList& Asked();
};

// Hands an address or a folder to the desktop's default handler (browser,
// file manager). Tests replace the handler to see what would be opened;
// an empty handler restores the desktop's.
bool OpenWithDesktop(const QUrl& url);
void SetDesktopOpener(std::function<bool(const QUrl&)> opener);

// Runs a modal dialog (default: QDialog::exec) and returns its result. Tests
// install a runner that works the dialog's controls instead; an empty one
// restores exec.
int RunModal(QDialog& dialog);
void SetModalRunner(std::function<int(QDialog&)> runner);

}  // namespace quillon
