#pragma once

#include <deque>
#include <functional>
#include <optional>

#include <QColor>
#include <QFont>
#include <QString>

class QDialog;
class QWidget;

namespace quillon {

// Every modal dialog and picker the reading page opens goes through here, so
// a test can answer it without a window manager or a person. Answers are
// consumed in the order they were queued; with none queued the real dialog is
// shown.
class ModalSeam final {
public:
    // Runs `dialog` modally. A queued handler receives the filled dialog,
    // shown but not modal, instead of exec(): it may type into it, click its
    // buttons or close it. When it leaves the dialog open, its return value
    // ends the dialog (QDialog::Accepted or Rejected).
    static int Exec(QDialog* dialog);
    static void QueueDialog(std::function<int(QDialog*)> handler);

    // The platform colour picker, opened on `initial`; nullopt for Cancel.
    static std::optional<QColor> PickColour(QWidget* parent, const QColor& initial,
                                            const QString& title);
    static void QueueColour(std::optional<QColor> answer);

    // The platform font picker, opened on `initial`; nullopt for Cancel.
    static std::optional<QFont> PickFont(QWidget* parent, const QFont& initial,
                                         const QString& title);
    static void QueueFont(std::optional<QFont> answer);

    // The file-open picker; an empty path for Cancel.
    static QString PickOpenFile(QWidget* parent, const QString& title, const QString& filter);
    static void QueueOpenFile(const QString& path);

    // True while answers of any kind are still queued; tests check it to see
    // that a dialog they expected was actually opened.
    static bool HasPendingAnswers();
    static void ClearAnswers();
};

}  // namespace quillon
