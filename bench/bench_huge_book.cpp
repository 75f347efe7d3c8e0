// Opening a book of one gibibyte: the time until its first page is laid out,
// the time until its line table is complete, and the peak memory meanwhile,
// against finding every LF of the same bytes with memchr (the least any
// split of the book costs).
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>

#include "core/library/book_text.h"
#include "core/platform/file_io.h"
#include "core/reader/paging_model.h"
#include "huge_book.h"

using namespace quillon;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Processor time of the whole process: on a machine shared with other work
// the wall-clock times say more about the others than about the open.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_OpenHugeBook(benchmark::State& state) {
    const std::string& path = bench::HugeBookPath();
    double firstPage = 0;
    double fullTable = 0;
    double firstPageCpu = 0;
    double fullTableCpu = 0;
    double peakMiB = 0;
    double budgetMiB = 0;
    for (auto _ : state) {
        auto model = std::make_unique<PagingModel>();
        bench::ResetPeak();
        const long startKb = bench::StatusKb("VmRSS:");
        const double c0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        // As the reading page opens a book: the text arrives in the
        // background while the first page is laid out.
        std::shared_ptr<const BookText> text;
        OpenBookText(path, BookEncoding::kAuto, text);
        model->SetText(std::move(text));
        model->UpdateGeometry(kWidth, kHeight);
        const auto t1 = std::chrono::steady_clock::now();
        const double c1 = CpuSeconds();
        model->FinishSplit();
        model->RefreshStatus();
        const auto t2 = std::chrono::steady_clock::now();
        firstPageCpu += c1 - c0;
        fullTableCpu += CpuSeconds() - c0;
        state.SetIterationTime(Seconds(t1 - t0));
        firstPage += Seconds(t1 - t0);
        fullTable += Seconds(t2 - t0);
        peakMiB += static_cast<double>(bench::StatusKb("VmHWM:") - startKb) / 1024.0;
        // What the open may hold: the text, eight bytes per display line
        // and 64 MiB for everything else.
        budgetMiB += (static_cast<double>(model->textLength()) + 8.0 * model->lineCount()) / (1 << 20) + 64;
        benchmark::DoNotOptimize(model->lineCount());
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["first_page_s"] = firstPage / runs;
    state.counters["full_table_s"] = fullTable / runs;
    state.counters["first_page_cpu_s"] = firstPageCpu / runs;
    state.counters["full_table_cpu_s"] = fullTableCpu / runs;
    state.counters["peak_MiB"] = peakMiB / runs;
    state.counters["budget_MiB"] = budgetMiB / runs;
}

void BM_MemchrLF(benchmark::State& state) {
    std::string bytes;
    ReadWholeFile(bench::HugeBookPath(), bytes);
    for (auto _ : state) {
        size_t count = 0;
        for (const char* p = bytes.data(); (p = static_cast<const char*>(std::memchr(
                                                 p, '\n', bytes.data() + bytes.size() - p)));
             ++p) {
            ++count;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

BENCHMARK(BM_OpenHugeBook)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_MemchrLF)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
