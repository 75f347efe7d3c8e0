#include "core/downloader/command_line.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "core/downloader/analysis_worker.h"
#include "core/downloader/download_worker.h"
#include "core/downloader/downloader_settings.h"
#include "core/downloader/fetch_limits.h"
#include "core/downloader/html_page_parser.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Ctrl-C stops a run the way the stop button does: the transfer in progress
// is abandoned and no half chapter is left behind.
std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

class InterruptScope final {
public:
    InterruptScope() {
        g_interrupted = false;
        struct sigaction action{};
        action.sa_handler = &OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~InterruptScope() {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    struct sigaction previousInt_{};
    struct sigaction previousTerm_{};
};

void Write(std::FILE* f, std::string_view s) { std::fwrite(s.data(), 1, s.size(), f); }

int Usage(std::FILE* err, const std::string& message) {
    Write(err, "fetchwell: " + message + "\nTry 'fetchwell --help'.\n");
    return kExitUsage;
}

// Addresses arrive from a UTF-8 terminal; the core keeps texts in GBK. Bytes
// that are not UTF-8 are taken as they are.
std::string ArgumentToGbk(const char* arg) {
    std::string_view s(arg);
    return IsValidUtf8(s) ? Utf8ToGbk(s) : std::string(s);
}

// One output line per row: the line breaks and TABs a title may hold would
// split it.
std::string OneLine(const std::string& gbk) {
    std::string s = GbkToUtf8(gbk);
    for (char& c : s) {
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    }
    return s;
}

// Prints what the analysis reports that a terminal user needs: failures.
class ListObserver final : public AnalysisObserver {
public:
    explicit ListObserver(std::FILE* err, bool live) : err_(err), live_(live) {}
    void OnStatus(const std::string& text) override {
        if (live_) Write(err_, "\r\033[K" + GbkToUtf8(text));
    }
    void OnFinished(int) override {
        if (live_) Write(err_, "\r\033[K");
    }

private:
    std::FILE* err_;
    bool live_;
};

class DownloadPrinter final : public DownloadObserver {
public:
    DownloadPrinter(const DownloadJob& job, std::FILE* err, bool live)
        : job_(job), err_(err), live_(live) {}

    void OnStatus(const std::string& text) override {
        if (live_) Write(err_, "\r\033[K" + GbkToUtf8(text));
    }
    void OnCount(const std::string& text) override { count_ = text; }
    void OnSaveFolder(const std::string& folder) override {
        Write(err_, "fetchwell: saving into " + folder + "\n");
    }
    void OnRowDone(size_t row, const std::string& state, const std::string& saved) override {
        std::string line = live_ ? "\r\033[K" : "";
        line += GbkToUtf8(count_) + " " + GbkToUtf8(state) + " " + OneLine(job_.rows[row].title);
        if (!saved.empty()) line += "  " + saved;
        line += "\n";
        Write(err_, line);
    }
    void OnFinished(const DownloadSummary& summary) override {
        Write(err_, (live_ ? "\r\033[K" : "") + GbkToUtf8(FinalStatusText(summary)) + "\n");
    }

private:
    const DownloadJob& job_;
    std::FILE* err_;
    bool live_;
    std::string count_;
};

bool IsTerminal(std::FILE* f) { return isatty(fileno(f)) == 1; }

int RunList(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    if (args.size() != 1) return Usage(err, "--list takes exactly one address");
    InterruptScope interrupts;
    std::string address = ArgumentToGbk(args[0].c_str());
    ListObserver observer(err, IsTerminal(err));
    LinkList links;
    int code = AnalyseAddress(address, links, observer, &g_interrupted, LoadFetchLimits());
    if (code != kFetchDone) {
        Write(err, "fetchwell: the page " + args[0] + " could not be downloaded\n");
        return kExitFailed;
    }
    for (const LinkEntry& link : links) {
        Write(out, OneLine(link.title) + "\t" + OneLine(link.url) + "\n");
    }
    return kExitDone;
}

int RunDownloadCommand(const std::vector<std::string>& args, std::FILE* err) {
    std::string url;
    std::string selection;
    std::string outFolder;
    bool txt = false, html = false, format = false, haveSelection = false, haveOut = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--select" || a == "--out") {
            if (i + 1 >= args.size()) return Usage(err, a + " needs a value");
            (a == "--select" ? selection : outFolder) = args[++i];
            (a == "--select" ? haveSelection : haveOut) = true;
        } else if (a == "--txt") {
            txt = true;
        } else if (a == "--html") {
            html = true;
        } else if (a == "--format") {
            format = true;
        } else if (a.rfind("--", 0) == 0) {
            return Usage(err, "unknown option " + a);
        } else if (url.empty()) {
            url = a;
        } else {
            return Usage(err, "more than one address: " + a);
        }
    }
    if (url.empty()) return Usage(err, "--download needs an address");
    std::vector<std::pair<int, int>> ranges;
    std::string error;
    if (haveSelection && !ParseRowSelection(selection, ranges, error)) return Usage(err, error);
    if (haveOut && outFolder.empty()) return Usage(err, "--out needs a folder");

    DownloadJob job;
    job.address = ArgumentToGbk(url.c_str());
    job.settings = LoadSettings();
    job.fetchOptions = LoadFetchLimits();
    if (haveOut) {
        // Only absolute folders are created, so a folder given relative to the
        // current one is made absolute here.
        if (outFolder[0] != '/') {
            char cwd[4096];
            if (getcwd(cwd, sizeof cwd) != nullptr) outFolder = std::string(cwd) + "/" + outFolder;
        }
        job.settings.saveFolder = outFolder;
    }
    if (!txt && !html) txt = html = true;
    job.settings.saveAsTxt = txt ? 1 : 0;
    job.settings.saveAsHtml = html ? 1 : 0;
    job.settings.formatTxt = format ? 1 : 0;

    InterruptScope interrupts;
    const bool live = IsTerminal(err);
    ListObserver listObserver(err, live);
    LinkList links;
    int code = AnalyseAddress(job.address, links, listObserver, &g_interrupted, job.fetchOptions);
    if (code == kFetchAbandoned) return kExitFailed;
    if (code != kFetchDone) {
        Write(err, "fetchwell: the page " + url + " could not be downloaded\n");
        return kExitFailed;
    }
    for (LinkEntry& link : links) job.rows.push_back({!haveSelection, link.title, link.url});
    for (const auto& [first, last] : ranges) {
        if (last > static_cast<int>(links.size())) {
            return Usage(err, "row " + std::to_string(last) + " is beyond the " +
                                  std::to_string(links.size()) + " rows of the page");
        }
        for (int r = first; r <= last; ++r) job.rows[static_cast<size_t>(r - 1)].checked = true;
    }
    if (job.rows.empty()) {
        Write(err, "fetchwell: " + GbkToUtf8(Gbk("请从列表中选择要下载的网址")) +
                       " (the page has no links)\n");
        return kExitFailed;
    }

    DownloadPrinter printer(job, err, live);
    DownloadSummary summary = RunDownload(job, printer, &g_interrupted);
    return (summary.failed == 0 && !summary.stopped) ? kExitDone : kExitFailed;
}

int RunHtmlToText(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    std::string file;
    bool utf8 = false;
    for (const std::string& a : args) {
        if (a == "--utf8") {
            utf8 = true;
        } else if (a.rfind("--", 0) == 0) {
            return Usage(err, "unknown option " + a);
        } else if (file.empty()) {
            file = a;
        } else {
            return Usage(err, "more than one file: " + a);
        }
    }
    if (file.empty()) return Usage(err, "--html-to-text needs a file");
    std::string page;
    if (!ReadWholeFile(file, page)) {
        Write(err, "fetchwell: cannot read " + file + "\n");
        return kExitFailed;
    }
    HtmlPageParser parser;
    std::string text = parser.HtmlToText(page);
    Write(out, utf8 ? GbkToUtf8(text) : text);
    return kExitDone;
}

}  // namespace

std::string CommandLineHelp() {
    return "Usage: fetchwell [COMMAND]\n"
           "Without a command, fetchwell opens its window.\n"
           "\n"
           "  --list URL              list the links of a contents page, one per line:\n"
           "                          the title as found, a TAB, the resolved address\n"
           "  --download URL [--select LIST] [--out DIR] [--txt] [--html] [--format]\n"
           "                          download the page's links into\n"
           "                          DIR/<MD5 of URL>/txt and /html\n"
           "      --select LIST       rows to download, 1-based, e.g. 1-10,15 (default all)\n"
           "      --out DIR           save folder (default: the saved setting)\n"
           "      --txt, --html       kinds of file to save (default both)\n"
           "      --format            one paragraph per line, each indented\n"
           "  --html-to-text FILE [--utf8]\n"
           "                          the text of an HTML file, as GBK (UTF-8 with --utf8)\n"
           "  --help                  this text\n"
           "  --version               the version\n"
           "\n"
           "Exit status: 0 done, 1 a page, chapter or file failed, 2 bad arguments.\n";
}

bool ParseRowSelection(std::string_view text, std::vector<std::pair<int, int>>& ranges,
                       std::string& error) {
    ranges.clear();
    auto number = [](std::string_view s, int& value) {
        if (s.empty() || s.size() > 9) return false;
        value = 0;
        for (char c : s) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        return value >= 1;
    };
    const std::string bad = "bad row selection '" + std::string(text) + "' (expected e.g. 1-10,15)";
    if (text.empty()) {
        error = bad;
        return false;
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string_view item =
            text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        size_t dash = item.find('-');
        int first = 0, last = 0;
        bool ok = dash == std::string_view::npos
                      ? number(item, first) && ((last = first), true)
                      : number(item.substr(0, dash), first) && number(item.substr(dash + 1), last);
        if (!ok || last < first) {
            error = bad;
            return false;
        }
        ranges.emplace_back(first, last);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return true;
}

int RunCommandLine(int argc, char** argv) { return RunCommandLine(argc, argv, stdout, stderr); }

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    if (argc < 2) {
        Write(out, CommandLineHelp());
        return kExitDone;
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    int rc;
    if (command == "--help" || command == "-h") {
        Write(out, CommandLineHelp());
        rc = kExitDone;
    } else if (command == "--version") {
        Write(out, "Fetchwell 1.1.1\n");
        rc = kExitDone;
    } else if (command == "--list") {
        rc = RunList(args, out, err);
    } else if (command == "--download") {
        rc = RunDownloadCommand(args, err);
    } else if (command == "--html-to-text") {
        rc = RunHtmlToText(args, out, err);
    } else {
        rc = Usage(err, "unknown command " + command);
    }
    std::fflush(out);
    std::fflush(err);
    return rc;
}

}  // namespace quillon
