// Starting the reader as an installed program and with files on its command
// line: the per-user folder is filled from the installed defaults, the files
// open in reading tabs (bad ones get a message and no tab), and a second
// start hands its files to the running window.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_literal.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/reader_command_line.h"
#include "gui/app/single_instance.h"
#include "gui/app/web_engine_setup.h"
#include "gui/library/bookshelf_page.h"
#include "gui/library/bookshelf_panel.h"
#include "gui/library/file_list_model.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/reading_panel.h"

using namespace quillon;

namespace {

const std::string kSource = QUILLON_TEST_DATA "/../../";
const QString kDemoBook = QStringLiteral("道德经选读");

std::unique_ptr<CMainFrame> ShowFrame() {
    auto frame = std::make_unique<CMainFrame>();
    frame->resize(1000, 700);
    frame->show();
    return frame;
}

}  // namespace

class CommandLineStartTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir* dir_ = nullptr;
    std::string root_;

private Q_SLOTS:
    void init() {
        dir_ = new QTemporaryDir;
        QVERIFY(dir_->isValid());
        root_ = dir_->path().toStdString() + "/";
        CMainFrame::SetUpdateWorkerStarter(nullptr);
        RegisterBookshelfPanel();
        RegisterReadingPanel();
        QtMessenger::SetTestMode(true);
        QtMessenger::Shown().clear();
    }

    void cleanup() {
        SetProgramFileOverride(std::string());
        qunsetenv("QUILLON_HOME");
        delete dir_;
        dir_ = nullptr;
    }

    void installedStartFillsTheUserFolderAndOpensGoodFiles() {
        namespace fs = std::filesystem;
        std::string share = root_ + "prefix/share/quillon/";
        EnsureFolders(root_ + "prefix/bin/");
        EnsureFolders(share);
        for (const char* folder : {"data", "book", "list"})
            fs::copy(kSource + folder, share + folder, fs::copy_options::recursive);
        SetProgramFileOverride(root_ + "prefix/bin/quillon");
        qunsetenv("QUILLON_HOME");
        qunsetenv("XDG_DATA_HOME");
        qputenv("HOME", (root_ + "home").c_str());

        std::string error;
        QVERIFY2(PrepareProgramFolder(error), error.c_str());
        QCOMPARE(GetProgramFolder(), root_ + "home/.local/share/quillon/");
        QVERIFY(IsDirectory(root_ + "home/.local/share/quillon/data"));
        StartApplication();
        auto frame = ShowFrame();
        QTRY_VERIFY(frame->PageCount() >= 1);
        auto* shelf = qobject_cast<BookshelfPage*>(frame->PageAt(0)->bookshelfPanel());
        QVERIFY(shelf);
        QTRY_VERIFY(shelf->bookModel()->RowCount() >= 1);
        bool onShelf = false;
        for (int i = 0; i < shelf->bookModel()->RowCount(); ++i)
            onShelf = onShelf || QString::fromStdString(shelf->bookModel()->Row(i)->path).contains(kDemoBook);
        QVERIFY(onShelf);

        // Two good books (one of them UTF-16 without a mark, whose zero
        // bytes are no sign of a binary file) among a missing file, a folder
        // and a picture.
        WriteWholeFile(root_ + "picture.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
        QString book = QString::fromStdString(GetProgramFolder() + "book/") + kDemoBook + QStringLiteral(".txt");
        QStringList files{QString::fromStdString(root_ + "missing.txt"), QString::fromStdString(root_ + "prefix"),
                          book, QString::fromStdString(root_ + "picture.png"),
                          QStringLiteral(QUILLON_TEST_DATA "/books/utf16le_nobom.txt")};
        int pages = frame->PageCount();
        QCOMPARE(OpenBookFiles(frame.get(), files), 2);
        QCOMPARE(frame->PageCount(), pages + 2);
        QCOMPARE(frame->PageAt(pages)->Title(), kDemoBook + QStringLiteral("_阅读"));
        QCOMPARE(frame->CurrentPage()->Title(), QStringLiteral("utf16le_nobom_阅读"));
        QCOMPARE(QtMessenger::Shown().size(), 3);
        QVERIFY(QtMessenger::Shown().at(0).contains(QStringLiteral("missing.txt")));
        QVERIFY(QtMessenger::Shown().at(2).contains(QStringLiteral("picture.png")));
    }

    void secondStartHandsItsFilesToTheRunningWindow() {
        std::string home = root_ + "prog/";
        qputenv("QUILLON_HOME", home.c_str());
        StartApplication();
        WriteWholeFile(home + "book/a.txt", Gbk("    第一章\r\n"));
        auto frame = ShowFrame();
        QTRY_VERIFY(frame->PageCount() >= 1);
        SingleInstance instance;
        QVERIFY(instance.Listen());
        connect(&instance, &SingleInstance::filesReceived, frame.get(),
                [&frame](const QStringList& files) { OpenBookFiles(frame.get(), files); });
        int pages = frame->PageCount();

        // The second process runs from another directory: its relative name
        // must reach the window as an absolute one.
        QProcess second;
        second.setWorkingDirectory(QString::fromStdString(home + "book"));
        second.start(QStringLiteral(QUILLON_READER_BINARY), {QStringLiteral("a.txt")});
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(frame->PageCount(), pages + 1);
        QCOMPARE(frame->CurrentPage()->Title(), QStringLiteral("a_阅读"));
    }

    void commandLineOptions() {
        struct Case {
            QStringList arguments;
            int status;
            QString output;
        };
        const Case cases[] = {
            {{QStringLiteral("--version")}, 0, QStringLiteral("quillon 5.3")},
            {{QStringLiteral("--help")}, 0, QStringLiteral("[FILE...]")},
            {{QStringLiteral("--bogus"), QStringLiteral("a.txt")}, 2, QStringLiteral("bogus")},
            {{QStringLiteral("rel/a.txt")}, -1, QString()},
        };
        for (const Case& c : cases) {
            ReaderCommandLine parsed = ParseReaderCommandLine(QStringList{QStringLiteral("quillon")} + c.arguments);
            QCOMPARE(parsed.exitStatus, c.status);
            QVERIFY2(parsed.output.contains(c.output), qPrintable(parsed.output));
        }
        ReaderCommandLine parsed = ParseReaderCommandLine({QStringLiteral("quillon"), QStringLiteral("rel/./a.txt")});
        QCOMPARE(parsed.files, QStringList{QDir::current().absoluteFilePath(QStringLiteral("rel/a.txt"))});

        // The real program refuses unknown options before it needs a display.
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QUILLON_READER_BINARY), {QStringLiteral("--no-such-option")});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("no-such-option"));
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    CommandLineStartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "command_line_start_test.moc"
