// The add-book dialog on its own: its opening state, the file picker, the
// many-files hint and the worker that adds, formats and reports progress.
#include <string>

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include "core/library/book_store.h"
#include "gui/library/add_book_dialog.h"
#include "gui/library/shelf_seams.h"
#include "shelf_test_support.h"

using namespace quillon;
using shelf_test::Child;

class AddBookDialogTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir* dir_ = nullptr;
    std::string home_;

private Q_SLOTS:
    void init() {
        dir_ = new QTemporaryDir;
        QVERIFY(dir_->isValid());
        home_ = shelf_test::MakeProgramFolder(*dir_, "");
    }

    void cleanup() {
        delete dir_;
        dir_ = nullptr;
    }

    void openingStateAndPresetSource() {
        AddBookDialog plain;
        QCOMPARE(plain.windowTitle(), QStringLiteral("加入书籍"));
        QVERIFY(Child<QCheckBox>(&plain, "formatCheck")->isChecked());
        QVERIFY(Child<QLineEdit>(&plain, "sourceEdit")->isEnabled());
        QVERIFY(Child<QLineEdit>(&plain, "sourceEdit")->text().isEmpty());

        AddBookDialog preset(QStringLiteral("/x/data/tmp.txt"));
        auto* source = Child<QLineEdit>(&preset, "sourceEdit");
        QCOMPARE(source->text(), QStringLiteral("/x/data/tmp.txt"));
        QVERIFY(!source->isEnabled());
        QVERIFY(!Child<QPushButton>(&preset, "addOneFileButton")->isEnabled());
        QVERIFY(Child<QPushButton>(&plain, "addOneFileButton")->isEnabled());
        QVERIFY(Child<QCheckBox>(&preset, "formatCheck")->isChecked());
        QCOMPARE(SuggestedBookName(QStringLiteral("/a/b/三国演义.TXT")), QStringLiteral("三国演义"));
    }

    void filePickerCancelKeepsTheSourceAndReturnsToTheProgramFolder() {
        AddBookDialog d;
        auto* source = Child<QLineEdit>(&d, "sourceEdit");
        auto* name = Child<QLineEdit>(&d, "nameEdit");
        source->setText(QStringLiteral("/kept.txt"));
        QDir::setCurrent(QDir::tempPath());
        SetNextFileName(QString());
        QTest::mouseClick(Child<QPushButton>(&d, "addOneFileButton"), Qt::LeftButton);
        QCOMPARE(source->text(), QStringLiteral("/kept.txt"));
        QCOMPARE(QDir::currentPath() + QLatin1Char('/'), QString::fromStdString(home_));

        SetNextFileName(QStringLiteral("/some/where/水浒传.txt"));
        QTest::mouseClick(Child<QPushButton>(&d, "addOneFileButton"), Qt::LeftButton);
        QCOMPARE(source->text(), QStringLiteral("/some/where/水浒传.txt"));
        QCOMPARE(name->text(), QStringLiteral("水浒传"));
        // A name the user typed is not overwritten by the next choice.
        name->setText(QStringLiteral("我的名字"));
        SetNextFileName(QStringLiteral("/other.txt"));
        QTest::mouseClick(Child<QPushButton>(&d, "addOneFileButton"), Qt::LeftButton);
        QCOMPARE(name->text(), QStringLiteral("我的名字"));
    }

    void manyFilesExplainsAndOpensTheBookFolder() {
        QString opened;
        SetFolderOpener([&](const QString& folder) { opened = folder; });
        AddBookDialog d;
        QTest::mouseClick(Child<QPushButton>(&d, "addManyFilesButton"), Qt::LeftButton);
        QString book = QString::fromStdString(home_ + "book/");
        QCOMPARE(QtMessenger::Shown().last(),
                 QStringLiteral("你可以用资源管理器直接将txt文件复制到系统目录即可。\r\n\r\n系统目录为: ") + book +
                     QStringLiteral("\r\n\r\n复制完成后重启软件。"));
        QCOMPARE(opened, book);
    }

    void failedAddKeepsTheDialogOpen() {
        WriteWholeFile(home_ + "src.txt", "text");
        AddBookDialog d;
        d.show();
        QSignalSpy finished(&d, &AddBookDialog::addFinished);
        Child<QLineEdit>(&d, "sourceEdit")->setText(QString::fromStdString(home_ + "src.txt"));
        Child<QLineEdit>(&d, "nameEdit")->setText(QStringLiteral("abc"));
        auto* add = Child<QPushButton>(&d, "addBookButton");
        QTest::mouseClick(add, Qt::LeftButton);
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished[0][0].toBool(), false);
        // The store's message came from the worker, through the interface
        // thread.
        QCOMPARE(QtMessenger::Shown().last(), QStringLiteral("书籍名字不正确"));
        QVERIFY(d.isVisible());
        QVERIFY(add->isEnabled());
        QVERIFY(!d.bookAdded());
        QCOMPARE(d.windowTitle(), QStringLiteral("计算行数...."));
        QTest::mouseClick(Child<QPushButton>(&d, "exitButton"), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));

        // The overwrite question is asked from the worker and answered No.
        WriteWholeFile(BookStore::BookPath("abcd"), "old");
        AddBookDialog again;
        again.show();
        QSignalSpy finished2(&again, &AddBookDialog::addFinished);
        Child<QLineEdit>(&again, "sourceEdit")->setText(QString::fromStdString(home_ + "src.txt"));
        Child<QLineEdit>(&again, "nameEdit")->setText(QStringLiteral("abcd"));
        QtMessenger::SetNextAnswer(false);
        QTest::mouseClick(Child<QPushButton>(&again, "addBookButton"), Qt::LeftButton);
        QVERIFY(finished2.wait(5000));
        QCOMPARE(QtMessenger::Shown().last(), QStringLiteral("该书籍己经存在,是否覆盖?"));
        std::string text;
        QVERIFY(ReadWholeFile(BookStore::BookPath("abcd"), text));
        QCOMPARE(text, std::string("old"));
    }

    void longFormatShowsProgressWhileTheButtonIsDisabled() {
        std::string big;
        for (int i = 0; i < 400000; ++i) big += "line of a rather long book\r\n\r\n";
        WriteWholeFile(home_ + "big.txt", big);
        AddBookDialog d;
        d.show();
        QStringList titles;
        connect(&d, &QWidget::windowTitleChanged, this, [&](const QString& t) { titles << t; });
        QSignalSpy finished(&d, &AddBookDialog::addFinished);
        Child<QLineEdit>(&d, "sourceEdit")->setText(QString::fromStdString(home_ + "big.txt"));
        Child<QLineEdit>(&d, "nameEdit")->setText(QStringLiteral("长篇小说"));
        auto* add = Child<QPushButton>(&d, "addBookButton");
        auto* bar = Child<QProgressBar>(&d, "progressBar");
        QTest::mouseClick(add, Qt::LeftButton);
        QVERIFY(!add->isEnabled());
        QVERIFY(d.IsAdding());
        // Closing is refused while the worker runs.
        d.reject();
        QVERIFY(d.isVisible());
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished[0][0].toBool(), true);
        QVERIFY(d.bookAdded());
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(titles.value(0), QStringLiteral("加入..."));
        QCOMPARE(titles.value(1), QStringLiteral("计算行数...."));
        QVERIFY2(titles.size() >= 3, qPrintable(titles.join(QLatin1Char(';'))));
        QVERIFY(titles.last().startsWith(QStringLiteral("加入书籍 格式化(400000/")));
        QCOMPARE(bar->value(), 100);
        QCOMPARE(FileSize(BookStore::BookPath(Gbk("长篇小说"))), 400000LL * 32);
    }
};

QTEST_MAIN(AddBookDialogTest)
#include "add_book_dialog_test.moc"
