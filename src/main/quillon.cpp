#include <cstdio>

#include <QApplication>

#include "core/platform/program_folder.h"
#include "gui/aids/scroll_display.h"
#include "gui/aids/speech_registration.h"
#include "gui/aids/word_lookup.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/reader_command_line.h"
#include "gui/app/single_instance.h"
#include "gui/app/text_convert.h"
#include "gui/app/web_engine_setup.h"
#include "gui/library/bookshelf_panel.h"
#include "gui/shell/book_search_panel.h"
#include "gui/shell/favourites_runner.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/reading_panel.h"
#include "gui/shell/update_starter.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    const quillon::ReaderCommandLine command = quillon::ParseReaderCommandLine(arguments);
    if (command.exitStatus >= 0) {
        std::fputs(command.output.toLocal8Bit().constData(), command.exitStatus == 0 ? stdout : stderr);
        return command.exitStatus;
    }

    quillon::PrepareWebEngine();
    QApplication app(argc, argv);
    if (quillon::SingleInstance::HandOver(command.files)) return 0;
    std::string error;
    if (!quillon::PrepareProgramFolder(error)) {
        std::fprintf(stderr, "quillon: %s\n", error.c_str());
        quillon::QtMessenger().Inform(
            quillon::ToGbk(QStringLiteral("程序文件夹无法使用，设置和书籍都无法保存，程序将退出。\n\n%1")
                               .arg(quillon::FromUtf8(error))),
            quillon::MessageKind::Warning);
        return 1;
    }
    quillon::SingleInstance instance;
    instance.Listen();

    quillon::StartApplication();
    quillon::RegisterBookshelfPanel();
    quillon::RegisterReadingPanel();
    quillon::RegisterBookSearchPanel();
    quillon::RegisterSpeechReading();
    quillon::RegisterScrollDisplay();
    quillon::RegisterWordLookup();
    quillon::RegisterFavouritesDialog();
#if QUILLON_SELF_UPDATE
    quillon::CMainFrame::SetUpdateWorkerStarter(quillon::StartUpdateThread);
#endif
    int rc = 0;
    {
        // The frame saves its placement when destroyed, before the exit
        // clean-up below runs.
        quillon::CMainFrame frame;
        frame.show();
        quillon::OpenBookFiles(&frame, command.files);
        QObject::connect(&instance, &quillon::SingleInstance::filesReceived, &frame,
                         [&frame](const QStringList& files) {
                             frame.raise();
                             frame.activateWindow();
                             quillon::OpenBookFiles(&frame, files);
                         });
        rc = app.exec();
    }
    quillon::ExitApplication(QUILLON_SELF_UPDATE);
    return rc;
}
