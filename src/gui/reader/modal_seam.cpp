#include "gui/reader/modal_seam.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>

#include "core/platform/program_folder.h"

namespace quillon {

namespace {
std::deque<std::function<int(QDialog*)>> g_dialogs;
std::deque<std::optional<QColor>> g_colours;
std::deque<std::optional<QFont>> g_fonts;
std::deque<QString> g_files;
}  // namespace

int ModalSeam::Exec(QDialog* dialog) {
    if (!g_dialogs.empty()) {
        auto handler = std::move(g_dialogs.front());
        g_dialogs.pop_front();
        // Shown, though not modal, so that closing it behaves as for a user.
        dialog->show();
        const int r = handler(dialog);
        // A handler that pressed a button or closed the window has ended the
        // dialog already; its result is then the dialog's own.
        if (!dialog->isVisible()) return dialog->result();
        dialog->done(r);
        return r;
    }
    return dialog->exec();
}

void ModalSeam::QueueDialog(std::function<int(QDialog*)> handler) {
    g_dialogs.push_back(std::move(handler));
}

std::optional<QColor> ModalSeam::PickColour(QWidget* parent, const QColor& initial,
                                            const QString& title) {
    if (!g_colours.empty()) {
        auto a = g_colours.front();
        g_colours.pop_front();
        return a;
    }
    QColor c = QColorDialog::getColor(initial, parent, title);
    if (!c.isValid()) return std::nullopt;
    return c;
}

void ModalSeam::QueueColour(std::optional<QColor> answer) { g_colours.push_back(answer); }

std::optional<QFont> ModalSeam::PickFont(QWidget* parent, const QFont& initial,
                                         const QString& title) {
    if (!g_fonts.empty()) {
        auto a = g_fonts.front();
        g_fonts.pop_front();
        return a;
    }
    bool ok = false;
    QFont f = QFontDialog::getFont(&ok, initial, parent, title);
    if (!ok) return std::nullopt;
    return f;
}

void ModalSeam::QueueFont(std::optional<QFont> answer) { g_fonts.push_back(answer); }

QString ModalSeam::PickOpenFile(QWidget* parent, const QString& title, const QString& filter) {
    QString path;
    if (!g_files.empty()) {
        path = g_files.front();
        g_files.pop_front();
    } else {
        path = QFileDialog::getOpenFileName(parent, title, QString(), filter);
    }
    // Every relative path of the program is relative to its folder, whatever
    // the picker did to the current directory.
    EnterProgramFolder();
    return path;
}

void ModalSeam::QueueOpenFile(const QString& path) { g_files.push_back(path); }

bool ModalSeam::HasPendingAnswers() {
    return !g_dialogs.empty() || !g_colours.empty() || !g_fonts.empty() || !g_files.empty();
}

void ModalSeam::ClearAnswers() {
    g_dialogs.clear();
    g_colours.clear();
    g_fonts.clear();
    g_files.clear();
}

}  // namespace quillon
