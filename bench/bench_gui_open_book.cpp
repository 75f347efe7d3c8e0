// Opening a book in the program's main window the way `quillon FILE` opens
// it, at full-HD size: the time until its first page has been painted and
// until its line table is complete, with the process's peak memory, for the
// generated book of one gibibyte against a book of one mebibyte of the same
// text (what opening costs whatever the size of the book).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/reader/reading_resume.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/web_engine_setup.h"
#include "gui/library/bookshelf_panel.h"
#include "gui/reader/reading_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/reading_panel.h"
#include "huge_book.h"

using namespace quillon;

namespace {

// Notes the first paint of a reading page that has text to show.
class PaintWatch final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (auto* page = qobject_cast<ReadingPage*>(watched); page && page->model().lineCount() > 0)
                painted = true;
        }
        return false;
    }
    bool painted = false;
};

// One application for the whole run, in a program folder of its own that
// starts with the build's shipped settings, so the window looks as it does
// for a new user.
struct Program {
    Program() {
        home_.setAutoRemove(true);
        const std::string home = home_.path().toStdString() + "/";
        std::error_code ec;
        std::filesystem::copy(GetExecutableFolder() + "../data", home + "data",
                              std::filesystem::copy_options::recursive, ec);
        setenv("QUILLON_HOME", home.c_str(), 1);
        PrepareWebEngine();
        app_ = std::make_unique<QApplication>(argc_, argv_);
        std::string error;
        PrepareProgramFolder(error);
        QtMessenger::SetTestMode(true);
        StartApplication();
        RegisterBookshelfPanel();
        RegisterReadingPanel();
        small_ = home + "small.txt";
        std::string text(1u << 20, '\0');
        std::FILE* f = std::fopen(bench::HugeBookPath().c_str(), "rb");
        text.resize(f ? std::fread(text.data(), 1, text.size(), f) : 0);
        if (f) std::fclose(f);
        WriteWholeFile(small_, text);
    }
    int argc_ = 1;
    char arg0_[8] = "quillon";
    char* argv_[2] = {arg0_, nullptr};
    QTemporaryDir home_;
    std::unique_ptr<QApplication> app_;
    std::string small_;
};

// Made on first use and ended before the program returns: Qt must not be
// torn down by static destructors.
std::unique_ptr<Program> g_program;

Program& TheProgram() {
    if (!g_program) g_program = std::make_unique<Program>();
    return *g_program;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Opens `path` in a new window; with `resumeAt`, the book was last left at
// that byte.
void OpenInWindow(benchmark::State& state, const std::string& path, int32_t resumeAt = 0) {
    double firstPage = 0;
    double fullTable = 0;
    double peakMiB = 0;
    double grownMiB = 0;
    for (auto _ : state) {
        // Each open is a first one: no tabs come back from the run before,
        // and the book starts on its first page.
        std::error_code ec;
        std::filesystem::remove(OpenBooks::FilePath(), ec);
        const std::string name = std::filesystem::path(path).stem().string();
        std::filesystem::remove(ReadingPosition::FilePath(name), ec);
        EnsureFolders(ReadingPosition::FilePath(name));
        if (resumeAt > 0) ReadingPosition::Save(name, resumeAt);
        CMainFrame frame;
        frame.resize(1920, 1080);
        frame.show();
        for (int k = 0; k < 50; ++k) QApplication::processEvents();
        bench::ResetPeak();
        const long startKb = bench::StatusKb("VmRSS:");
        PaintWatch watch;
        QApplication::instance()->installEventFilter(&watch);
        const auto t0 = std::chrono::steady_clock::now();
        OpenBookFiles(&frame, {QString::fromStdString(path)});
        auto* page = frame.findChild<ReadingPage*>();
        if (!page) {
            state.SkipWithError("the book did not open");
            return;
        }
        while (!watch.painted || page->model().anchorOffset() < resumeAt) QApplication::processEvents();
        const auto t1 = std::chrono::steady_clock::now();
        while (!page->model().splitComplete()) QApplication::processEvents();
        const auto t2 = std::chrono::steady_clock::now();
        state.SetIterationTime(Seconds(t1 - t0));
        firstPage += Seconds(t1 - t0);
        fullTable += Seconds(t2 - t0);
        const long peakKb = bench::StatusKb("VmHWM:");
        peakMiB += static_cast<double>(peakKb) / 1024.0;
        grownMiB += static_cast<double>(peakKb - startKb) / 1024.0;
        QApplication::instance()->removeEventFilter(&watch);
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["first_page_s"] = firstPage / runs;
    state.counters["full_table_s"] = fullTable / runs;
    state.counters["peak_MiB"] = peakMiB / runs;
    state.counters["grown_MiB"] = grownMiB / runs;
}

void BM_OpenSmallBookInWindow(benchmark::State& state) { OpenInWindow(state, TheProgram().small_); }

void BM_OpenHugeBookInWindow(benchmark::State& state) {
    TheProgram();
    OpenInWindow(state, bench::HugeBookPath());
}

// A reader coming back to a place near the end of the book.
void BM_ReopenHugeBookAt900MB(benchmark::State& state) {
    TheProgram();
    OpenInWindow(state, bench::HugeBookPath(), 900'000'000);
}

}  // namespace

BENCHMARK(BM_OpenSmallBookInWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_OpenHugeBookInWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_ReopenHugeBookAt900MB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_program.reset();
    return 0;
}
