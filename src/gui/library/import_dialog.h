#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace quillon {

// "导入文本": pasted text becomes data/tmp.txt, which the caller then adds
// as a book through the add-book dialog.
class ImportDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ImportDialog(QWidget* parent = nullptr);

    // data/tmp.txt of the program folder, where the text goes.
    static QString ImportFilePath();

private:
    void Import();

    QPlainTextEdit* text_ = nullptr;
};

// Runs the dialog modally; true when the text was saved.
bool RunImportDialog(QWidget* parent);

}  // namespace quillon
