#include "gui/library/import_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"

namespace quillon {

ImportDialog::ImportDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("importDialog"));
    setWindowTitle(QStringLiteral("导入文本"));
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("importEdit"));
    auto* importButton = new QPushButton(QStringLiteral("导入"), this);
    importButton->setObjectName(QStringLiteral("importButton"));
    auto* cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(importButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请将要导入的文本内容输入到下框中："), this));
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);
    resize(560, 420);

    connect(importButton, &QPushButton::clicked, this, &ImportDialog::Import);
    connect(cancelButton, &QPushButton::clicked, this, &ImportDialog::reject);
}

QString ImportDialog::ImportFilePath() { return FromUtf8(GetProgramFolder() + "data/tmp.txt"); }

void ImportDialog::Import() {
    QtMessenger messenger(this);
    QString text = text_->toPlainText();
    if (text.isEmpty()) {
        messenger.Inform(Gbk("导入文字内容不能为空。"));
        return;
    }
    // The box holds bare LF breaks; the programs' text files break lines
    // with CR LF, so the file gets what a typed Enter means there.
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    EnsureFolders(GetProgramFolder() + "data/");
    if (!WriteWholeFile(ToUtf8(ImportFilePath()), ToGbk(text))) {
        messenger.Inform(Gbk("保存失败"));
        QDialog::reject();
        return;
    }
    accept();
}

bool RunImportDialog(QWidget* parent) {
    ImportDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace quillon
