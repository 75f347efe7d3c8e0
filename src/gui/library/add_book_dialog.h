#pragma once

#include <memory>
#include <string>
#include <thread>

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace quillon {

class UiThreadMessenger;

// "加入书籍": copies or formats one text file into the library under a name
// the user gives. The add runs on a worker so the dialog keeps painting
// while a long book is formatted; its progress shows in the title and in a
// progress bar.
class AddBookDialog final : public QDialog {
    Q_OBJECT
public:
    // With a preset source (the import flow, or a file dropped on the book
    // list) the source box shows it; `lockSource` also disables the box.
    explicit AddBookDialog(const QString& presetSource = QString(), bool lockSource = true,
                           const QString& presetName = QString(), QWidget* parent = nullptr);
    ~AddBookDialog() override;

    bool bookAdded() const { return bookAdded_; }
    bool IsAdding() const { return adding_; }

    void reject() override;

signals:
    // The worker has ended; `added` tells whether the book is in the library.
    void addFinished(bool added);

private:
    void AddOneFile();
    void AddManyFiles();
    void StartAdd();
    void ShowProgress(const QString& text);
    void EndAdd(bool added);

    QLineEdit* source_ = nullptr;
    QLineEdit* name_ = nullptr;
    QCheckBox* format_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    std::shared_ptr<UiThreadMessenger> messenger_;
    std::thread worker_;
    bool adding_ = false;
    bool bookAdded_ = false;
};

// Runs the dialog modally; true when a book was added.
bool RunAddBookDialog(QWidget* parent, const QString& presetSource = QString(), bool lockSource = true,
                      const QString& presetName = QString());

// The book name a source file suggests: its file name without folder and
// without ".txt".
QString SuggestedBookName(const QString& sourcePath);

}  // namespace quillon
