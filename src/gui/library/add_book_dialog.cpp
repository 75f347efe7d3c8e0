#include "gui/library/add_book_dialog.h"

#include <chrono>

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "core/library/book_store.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_literal.h"
#include "gui/app/text_convert.h"
#include "gui/library/shelf_seams.h"
#include "gui/library/ui_thread_messenger.h"

namespace quillon {

namespace {

const QString kTitle = QStringLiteral("加入书籍");

// The formatter reports once per line; posting each report would queue
// hundreds of thousands of events for a long book, so the worker passes on
// at most one every this many milliseconds (and always the last).
constexpr auto kProgressInterval = std::chrono::milliseconds(40);

}  // namespace

QString SuggestedBookName(const QString& sourcePath) {
    QString name = QFileInfo(sourcePath).fileName();
    if (name.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive)) name.chop(4);
    return name;
}

AddBookDialog::AddBookDialog(const QString& presetSource, bool lockSource, const QString& presetName,
                             QWidget* parent)
    : QDialog(parent), messenger_(std::make_shared<UiThreadMessenger>(this)) {
    setObjectName(QStringLiteral("addBookDialog"));
    setWindowTitle(kTitle);

    source_ = new QLineEdit(this);
    source_->setObjectName(QStringLiteral("sourceEdit"));
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("nameEdit"));
    name_->setMaxLength(255);
    format_ = new QCheckBox(QStringLiteral("格式化原书籍（删除空行，每行头部加入空格）"), this);
    format_->setObjectName(QStringLiteral("formatCheck"));
    format_->setChecked(true);

    auto* oneButton = new QPushButton(QStringLiteral("加入单个文件"), this);
    oneButton->setObjectName(QStringLiteral("addOneFileButton"));
    auto* manyButton = new QPushButton(QStringLiteral("加入多个文件"), this);
    manyButton->setObjectName(QStringLiteral("addManyFilesButton"));
    addButton_ = new QPushButton(QStringLiteral("加入书籍"), this);
    addButton_->setObjectName(QStringLiteral("addBookButton"));
    addButton_->setDefault(true);
    exitButton_ = new QPushButton(QStringLiteral("退出"), this);
    exitButton_->setObjectName(QStringLiteral("exitButton"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progressBar"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setVisible(false);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("源书籍文件："), this), 0, 0);
    grid->addWidget(source_, 0, 1);
    grid->addWidget(oneButton, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("书籍名字(4-255个字符 数字,字母或汉字)："), this), 1, 0);
    grid->addWidget(name_, 1, 1, 1, 2);
    grid->addWidget(format_, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(manyButton);
    buttons->addStretch(1);
    buttons->addWidget(addButton_);
    buttons->addWidget(exitButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
    resize(560, sizeHint().height());

    if (!presetSource.isEmpty()) {
        source_->setText(presetSource);
        source_->setEnabled(!lockSource);
        // A locked source is the imported text: picking another file would
        // add something else than the user just typed.
        oneButton->setEnabled(!lockSource);
    }
    if (!presetName.isEmpty()) name_->setText(presetName);

    connect(oneButton, &QPushButton::clicked, this, &AddBookDialog::AddOneFile);
    connect(manyButton, &QPushButton::clicked, this, &AddBookDialog::AddManyFiles);
    connect(addButton_, &QPushButton::clicked, this, &AddBookDialog::StartAdd);
    connect(exitButton_, &QPushButton::clicked, this, &AddBookDialog::reject);
}

AddBookDialog::~AddBookDialog() {
    // Closing is refused while adding, so a worker is only left when the
    // dialog's parent goes first. The worker holds its own copies of what it
    // reads and reaches the dialog only through a guarded pointer, so it may
    // finish on its own.
    if (worker_.joinable()) {
        if (adding_)
            worker_.detach();
        else
            worker_.join();
    }
}

void AddBookDialog::reject() {
    // The worker may still ask whether to overwrite or report a failure;
    // the dialog stays until it has ended, like its disabled button says.
    if (adding_) return;
    if (bookAdded_)
        QDialog::accept();
    else
        QDialog::reject();
}

void AddBookDialog::AddOneFile() {
    QString path = PickOpenFileName(this, QStringLiteral("选择要加入的TXT文件"), QStringLiteral("TxT文件 (*.txt)"));
    // The picker may have changed the current directory, and every relative
    // path of the program is relative to the program folder.
    EnterProgramFolder();
    if (path.isEmpty()) return;
    source_->setText(path);
    if (name_->text().trimmed().isEmpty()) name_->setText(SuggestedBookName(path));
}

void AddBookDialog::AddManyFiles() {
    std::string folder = GetProgramFolder() + "book/";
    std::string text = Gbk("你可以用资源管理器直接将txt文件复制到系统目录即可。") + Gbk("\r\n\r\n系统目录为: ") +
                       Utf8ToGbk(folder) + Gbk("\r\n\r\n复制完成后重启软件。");
    messenger_->Inform(text);
    OpenFolderInFileManager(FromUtf8(folder));
}

void AddBookDialog::StartAdd() {
    if (adding_) return;
    adding_ = true;
    addButton_->setEnabled(false);
    setWindowTitle(QStringLiteral("加入..."));
    progress_->setValue(0);
    progress_->setVisible(format_->isChecked());

    std::string source = ToUtf8(source_->text());
    std::string name = ToGbk(name_->text());
    bool format = format_->isChecked();
    QPointer<AddBookDialog> self(this);
    std::shared_ptr<Messenger> messenger = messenger_;
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread([self, messenger, source, name, format] {
        auto post = [self](const QString& title) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, title] {
                    if (self) self->ShowProgress(title);
                },
                Qt::QueuedConnection);
        };
        if (format) post(QStringLiteral("计算行数...."));
        std::string last;
        auto lastPost = std::chrono::steady_clock::now() - kProgressInterval;
        bool added = BookStore::AddBook(source, name, format, *messenger, [&](const std::string& text) {
            last = text;
            auto now = std::chrono::steady_clock::now();
            if (now - lastPost < kProgressInterval) return;
            lastPost = now;
            post(FromGbk(text));
            last.clear();
        });
        if (!last.empty()) post(FromGbk(last));
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, added] {
                if (self) self->EndAdd(added);
            },
            Qt::QueuedConnection);
    });
}

void AddBookDialog::ShowProgress(const QString& text) {
    setWindowTitle(text);
    // "…(line/total) pp%": the bar follows the percentage, which the line
    // estimate can push past 100 on texts with CR-only breaks.
    static const QRegularExpression percent(QStringLiteral("\\((\\d+)/(\\d+)\\)\\s*(\\d+)%"));
    QRegularExpressionMatch m = percent.match(text);
    if (m.hasMatch()) progress_->setValue(qBound(0, m.captured(3).toInt(), 100));
}

void AddBookDialog::EndAdd(bool added) {
    if (worker_.joinable()) worker_.join();
    adding_ = false;
    addButton_->setEnabled(true);
    emit addFinished(added);
    if (added) {
        bookAdded_ = true;
        progress_->setValue(100);
        accept();
    }
}

bool RunAddBookDialog(QWidget* parent, const QString& presetSource, bool lockSource, const QString& presetName) {
    AddBookDialog dialog(presetSource, lockSource, presetName, parent);
    dialog.exec();
    return dialog.bookAdded();
}

}  // namespace quillon
