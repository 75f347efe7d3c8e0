#pragma once

#include <string>

#include <QDialog>

class QLineEdit;

namespace quillon {

// "小说更名": renames one book of the library; stays open while the book
// store refuses the new name, so the user can try another.
class RenameDialog final : public QDialog {
    Q_OBJECT
public:
    // `name` is the book's current name (GBK).
    explicit RenameDialog(const std::string& name, QWidget* parent = nullptr);

private:
    void Rename();

    std::string oldName_;
    QLineEdit* newName_ = nullptr;
};

// Runs the dialog modally; true when the book now has the new name.
bool RunRenameDialog(QWidget* parent, const std::string& name);

}  // namespace quillon
