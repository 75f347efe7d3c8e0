// Reader hot paths over a 100 MiB GBK book: splitting into display lines,
// finding a word, finding the chapter headings, laying out a page,
// re-splitting on a resize and opening the book from disk. Each is compared
// with counting the book's LF bytes with memchr, the cheapest full pass over
// the same bytes.

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/platform/file_io.h"
#include "core/reader/chapter_index.h"
#include "core/reader/find_in_book.h"
#include "core/reader/paging_model.h"
#include "core/text/gbk_literal.h"

#if __has_include("core/library/book_text.h")
#include "core/library/book_text.h"
#define QUILLON_HAVE_BOOK_TEXT 1
#endif

namespace quillon {
namespace {

constexpr size_t kBookBytes = 100u << 20;
constexpr int kCols = 40;
constexpr int kRows = 24;
constexpr const char* kBookFile = "/tmp/quillon_bench_book.txt";

int WidthFor(int cols) {
    return PagingModel::kMarginLeft + PagingModel::kMarginRight + 17 * (cols + 1);
}
int HeightFor(int rows) { return PagingModel::kMarginTop + PagingModel::kMarginBottom + 41 * rows; }

// Mixed Chinese and ASCII in CR LF lines of 0 to 200 bytes: GB2312 level-1
// characters (lead 0xB0-0xD7, trail 0xA1-0xFE), GBK punctuation, ASCII
// words, digits and spaces, and now and then the word that the find
// benchmark looks for.
std::string MakeBook(size_t size) {
    // xorshift64*: the book is 100 MiB and a heavier generator would take
    // most of the program's run time.
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    auto rng = [&state]() -> unsigned {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<unsigned>((state * 0x2545F4914F6CDD1DULL) >> 32);
    };
    const std::string word = Gbk("小说");
    const std::string comma = Gbk("，");
    const std::string stop = Gbk("。");
    const char* ascii[] = {"the ", "Chapter ", "and ", "OK ", "2024 ", "page ", "Li ", "x"};
    std::string text;
    text.reserve(size + 256);
    while (text.size() < size) {
        const unsigned length = rng() % 201;
        const size_t lineEnd = text.size() + length;
        while (text.size() < lineEnd) {
            const unsigned pick = rng() % 100;
            if (pick < 70) {
                text += static_cast<char>(0xB0 + rng() % 40);
                text += static_cast<char>(0xA1 + rng() % 94);
            } else if (pick < 75) {
                text += (pick & 1) ? comma : stop;
            } else if (pick < 76) {
                text += word;
            } else {
                text += ascii[rng() % 8];
            }
        }
        text += "\r\n";
    }
    text.resize(size);
    return text;
}

const std::string& Book() {
    static const std::string book = MakeBook(kBookBytes);
    return book;
}

// The model shared by the paging benchmarks: the book split at 40 columns.
PagingModel& Model() {
    static PagingModel* model = [] {
        auto* m = new PagingModel;
        m->SetText(Book());
        m->UpdateGeometry(WidthFor(kCols), HeightFor(kRows));
        return m;
    }();
    return *model;
}

void BM_MemchrLF(benchmark::State& state) {
    const std::string& book = Book();
    for (auto _ : state) {
        const char* p = book.data();
        const char* end = p + book.size();
        size_t count = 0;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))))) {
            ++count;
            ++p;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * book.size()));
}

void BM_SplitLines(benchmark::State& state) {
    PagingModel& model = Model();
    for (auto _ : state) {
        // The whole table: a book this size is otherwise cut only up to the
        // page shown, the rest between events.
        model.SplitLines();
        model.FinishSplit();
        benchmark::DoNotOptimize(model.lineCount());
    }
    state.counters["lines"] = model.lineCount();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Book().size()));
}

void BM_FindCaseInsensitive(benchmark::State& state) {
    const std::string& book = Book();
    const std::string word = Gbk("小说");
    size_t found = 0;
    for (auto _ : state) {
        std::vector<FindRow> rows = FindInBook(book, word, false);
        found = rows.size();
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["results"] = static_cast<double>(found);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * book.size()));
}

// The chapter list of the whole book with the shipped heading rules.
void BM_FindChapters(benchmark::State& state) {
    const std::string& book = Book();
    std::string source = __FILE__;
    source.resize(source.rfind('/') + 1);
    std::string ruleText;
    if (!ReadWholeFile(source + "../data/chapter_rules.txt", ruleText)) {
        state.SkipWithError("data/chapter_rules.txt not found beside bench/");
        return;
    }
    const ChapterRules rules = ChapterRules::Parse(ruleText);
    size_t found = 0;
    for (auto _ : state) {
        std::vector<Chapter> chapters = FindChapters(book, rules);
        found = chapters.size();
        benchmark::DoNotOptimize(chapters.data());
    }
    state.counters["headings"] = static_cast<double>(found);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * book.size()));
}

// One page turn's layout in the middle of the book, for a book of the
// argument's size in MiB: the time must not grow with the book.
void BM_LayoutPage(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
    PagingModel small;
    PagingModel* model = &Model();
    if (bytes < Book().size()) {
        small.SetText(Book().substr(0, bytes));
        small.UpdateGeometry(WidthFor(kCols), HeightFor(kRows));
        model = &small;
    }
    model->GoToPage(model->totalPages() / 2);
    for (auto _ : state) {
        model->LayoutPage();
        benchmark::DoNotOptimize(model->cellGrid().At(0, 0).kind);
    }
}

// A resize that changes the column count: the whole book is re-split and
// the page holding the old top byte found again.
void BM_Relayout(benchmark::State& state) {
    PagingModel& model = Model();
    model.GoToPage(model.totalPages() / 3);
    int cols = kCols;
    for (auto _ : state) {
        cols = cols == kCols ? kCols + 1 : kCols;
        model.Relayout(WidthFor(cols), HeightFor(kRows));
        benchmark::DoNotOptimize(model.topLine());
    }
    model.Relayout(WidthFor(kCols), HeightFor(kRows));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Book().size()));
}

// Opening the book: read the file, hand the text over, split, lay out.
void BM_OpenBook(benchmark::State& state) {
    if (!FileExists(kBookFile) || FileSize(kBookFile) != static_cast<long long>(Book().size())) {
        WriteWholeFile(kBookFile, Book());
    }
    PagingModel model;
    for (auto _ : state) {
        std::string text;
#ifdef QUILLON_HAVE_BOOK_TEXT
        ReadBookText(kBookFile, text);
#else
        ReadWholeFile(kBookFile, text);
#endif
        model.SetText(std::move(text));
        model.UpdateGeometry(WidthFor(kCols), HeightFor(kRows));
        benchmark::DoNotOptimize(model.lineCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Book().size()));
}

BENCHMARK(BM_MemchrLF)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_SplitLines)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_FindCaseInsensitive)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_FindChapters)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_LayoutPage)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond)->MinTime(0.2);
BENCHMARK(BM_Relayout)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_OpenBook)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Prints as usual and keeps each run's time per iteration in milliseconds
// for the ratios printed at the end.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto iterations = static_cast<double>(run.iterations);
            std::string name = run.benchmark_name();
            for (const char* option : {"/iterations", "/min_time", "/real_time"}) {
                name = name.substr(0, name.find(option));
            }
            real[name] = run.real_accumulated_time / iterations * 1e3;
            cpu[name] = run.cpu_accumulated_time / iterations * 1e3;
            order.push_back(name);
        }
    }
    std::map<std::string, double> real;
    std::map<std::string, double> cpu;
    std::vector<std::string> order;
};

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
    using namespace quillon;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    // The book is made before any timing, and the heap of a model holding
    // it is measured on its own.
    const std::string& book = Book();
    const size_t heapBefore = mallinfo2().uordblks + mallinfo2().hblkhd;
    PagingModel& model = Model();
    const size_t heapAfter = mallinfo2().uordblks + mallinfo2().hblkhd;

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nBook: %zu bytes, %d display lines at %d columns\n", book.size(),
                model.lineCount(), kCols);
    std::printf(
        "Model heap: %.1f MiB by malloc (text, line table, cell grid, rows); "
        "%.1f MiB by its own count\n",
        static_cast<double>(heapAfter - heapBefore) / (1 << 20),
        static_cast<double>(model.HeapBytes()) / (1 << 20));
    const double baseReal = reporter.real["BM_MemchrLF"];
    const double baseCpu = reporter.cpu["BM_MemchrLF"];
    if (baseReal > 0 && baseCpu > 0) {
        // CPU time is the fairer measure on a busy machine; both are shown.
        std::printf("Ratios to BM_MemchrLF (%.2f ms real, %.2f ms CPU):\n", baseReal, baseCpu);
        std::printf("  %-24s %12s %12s %9s %9s\n", "", "real ms", "CPU ms", "real x", "CPU x");
        for (const std::string& name : reporter.order) {
            std::printf("  %-24s %12.4f %12.4f %9.3f %9.3f\n", name.c_str(), reporter.real[name],
                        reporter.cpu[name], reporter.real[name] / baseReal,
                        reporter.cpu[name] / baseCpu);
        }
    }
    std::remove(kBookFile);
    benchmark::Shutdown();
    return 0;
}
