#include "core/downloader/command_line.h"

#include <atomic>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <optional>
#include <getopt.h>
#include <unistd.h>

#include "core/downloader/analysis_worker.h"
#include "core/downloader/book_merger.h"
#include "core/downloader/download_worker.h"
#include "core/downloader/downloader_settings.h"
#include "core/downloader/fetch_limits.h"
#include "core/downloader/html_page_parser.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
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

// Prints the rows as they finish and notes in `rows` (the job's rows) what
// became of each, for the finished book.
class DownloadPrinter final : public DownloadObserver {
public:
    DownloadPrinter(std::vector<DownloadRow>& rows, std::FILE* err, bool live)
        : rows_(rows), err_(err), live_(live) {
        for (const DownloadRow& row : rows) total_ += row.checked ? 1 : 0;
    }

    void OnStatus(const std::string& text) override {
        if (live_) Write(err_, "\r\033[K" + GbkToUtf8(text));
    }
    void OnSaveFolder(const std::string& folder) override {
        Write(err_, "fetchwell: saving into " + folder + "\n");
    }
    void OnRowFiles(size_t row, const std::string& htmlFile, const std::string& txtFile) override {
        rows_[row].htmlFile = htmlFile;
        rows_[row].txtFile = txtFile;
    }
    void OnRowDone(size_t row, const std::string& state, const std::string& saved) override {
        rows_[row].failed = rows_[row].htmlFile.empty() && rows_[row].txtFile.empty();
        std::string line = live_ ? "\r\033[K" : "";
        // Rows finished out of rows to do, whatever the window's field shows.
        line += std::to_string(++done_) + "/" + std::to_string(total_) + " " + GbkToUtf8(state) +
                " " + OneLine(rows_[row].title);
        if (!saved.empty()) line += "  " + saved;
        line += "\n";
        Write(err_, line);
    }
    void OnRowState(size_t row, const std::string& state) override {
        Write(err_, (live_ ? "\r\033[K" : "") + std::to_string(done_ + 1) + "/" +
                        std::to_string(total_) + " " + GbkToUtf8(state) + " " +
                        OneLine(rows_[row].title) + "\n");
    }
    void OnFinished(const DownloadSummary& summary) override {
        Write(err_, (live_ ? "\r\033[K" : "") + GbkToUtf8(FinalStatusText(summary)) + "\n");
    }

private:
    std::vector<DownloadRow>& rows_;
    std::FILE* err_;
    bool live_;
    int total_ = 0, done_ = 0;
};

bool IsTerminal(std::FILE* f) { return isatty(fileno(f)) == 1; }

// Everything the command line was given, after parsing.
struct Options {
    enum class Mode { kNone, kList, kDownload, kHtmlToText } mode = Mode::kNone;
    std::string modeOption;  // "--list" etc., for messages
    std::string target;      // the URL or FILE of the mode
    bool help = false, version = false;
    bool txt = false, html = false, format = false, utf8 = false;
    std::optional<std::string> selection, outFolder, userAgent;
    std::optional<int> delayMs, retries;
    bool missing = false;
    std::optional<std::string> mergeFile, epubFile;  // "" = the default name
    // Options only a download takes, as given, for the message when another
    // mode gets them.
    std::string downloadOnly;
};

bool ParseNumber(const char* text, int lo, int hi, int& value) {
    std::string_view s(text);
    if (s.empty() || s.size() > 9) return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= lo && value <= hi;
}

enum OptionId {
    kOptList = 1000, kOptDownload, kOptHtmlToText, kOptVersion, kOptSelect, kOptOut, kOptTxt,
    kOptHtml, kOptFormat, kOptUtf8, kOptDelay, kOptRetries, kOptUserAgent, kOptMissing, kOptMerge,
    kOptEpub
};

// Parses argv the GNU way (getopt_long): options in any order, "--opt=value"
// or "--opt value", unambiguous abbreviations, "--" ending the options.
// Returns -1 when parsed, else the exit status of a usage error (reported).
int ParseOptions(int argc, char** argv, Options& o, std::FILE* err) {
    static const option kOptions[] = {
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kOptVersion},
        {"list", required_argument, nullptr, kOptList},
        {"download", required_argument, nullptr, kOptDownload},
        {"html-to-text", required_argument, nullptr, kOptHtmlToText},
        {"select", required_argument, nullptr, kOptSelect},
        {"out", required_argument, nullptr, kOptOut},
        {"txt", no_argument, nullptr, kOptTxt},
        {"html", no_argument, nullptr, kOptHtml},
        {"format", no_argument, nullptr, kOptFormat},
        {"utf8", no_argument, nullptr, kOptUtf8},
        {"delay", required_argument, nullptr, kOptDelay},
        {"retries", required_argument, nullptr, kOptRetries},
        {"user-agent", required_argument, nullptr, kOptUserAgent},
        {"missing", no_argument, nullptr, kOptMissing},
        {"merge", optional_argument, nullptr, kOptMerge},
        {"epub", optional_argument, nullptr, kOptEpub},
        {nullptr, 0, nullptr, 0},
    };
    // getopt_long reorders the vector it is given; the caller's stays as is.
    std::vector<char*> args(argv, argv + argc);
    args.push_back(nullptr);
    optind = 0;  // a full restart of glibc's parser, for every call
    opterr = 0;  // the messages are ours, on `err`
    std::vector<std::string> positional;
    auto setMode = [&](Options::Mode mode, const char* name) {
        if (o.mode != Options::Mode::kNone) return false;
        o.mode = mode;
        o.modeOption = name;
        o.target = optarg;
        return true;
    };
    for (;;) {
        const int previous = optind;
        int index = -1;
        const int c = getopt_long(argc, args.data(), "+:h", kOptions, &index);
        if (c == -1) break;
        const char* given = args[std::max(previous, 1)];
        switch (c) {
            case 'h': o.help = true; break;
            case kOptVersion: o.version = true; break;
            case kOptList:
            case kOptDownload:
            case kOptHtmlToText: {
                const auto mode = c == kOptList       ? Options::Mode::kList
                                  : c == kOptDownload ? Options::Mode::kDownload
                                                      : Options::Mode::kHtmlToText;
                if (!setMode(mode, c == kOptList ? "--list" : c == kOptDownload ? "--download" : "--html-to-text")) {
                    return Usage(err, "only one of --list, --download and --html-to-text may be given");
                }
                break;
            }
            case kOptSelect: o.selection = optarg; o.downloadOnly = "--select"; break;
            case kOptOut: o.outFolder = optarg; o.downloadOnly = "--out"; break;
            case kOptTxt: o.txt = true; o.downloadOnly = "--txt"; break;
            case kOptHtml: o.html = true; o.downloadOnly = "--html"; break;
            case kOptFormat: o.format = true; o.downloadOnly = "--format"; break;
            case kOptUtf8: o.utf8 = true; break;
            case kOptMissing: o.missing = true; o.downloadOnly = "--missing"; break;
            case kOptMerge: o.mergeFile = optarg ? optarg : ""; o.downloadOnly = "--merge"; break;
            case kOptEpub: o.epubFile = optarg ? optarg : ""; o.downloadOnly = "--epub"; break;
            case kOptUserAgent:
                if (std::strpbrk(optarg, "\r\n") != nullptr) return Usage(err, "--user-agent must be one line");
                o.userAgent = optarg;
                break;
            case kOptDelay:
            case kOptRetries: {
                int value = 0;
                const bool delay = c == kOptDelay;
                if (!ParseNumber(optarg, 0, delay ? 600000 : 20, value)) {
                    return Usage(err, std::string(delay ? "--delay takes milliseconds from 0 to 600000"
                                                        : "--retries takes a number from 0 to 20") +
                                          ", not '" + optarg + "'");
                }
                (delay ? o.delayMs : o.retries) = value;
                break;
            }
            case ':':
                return Usage(err, std::string(given).substr(0, std::string(given).find('=')) + " needs a value");
            default:
                if (optopt != 0 && optopt < 1000 && std::strncmp(given, "--", 2) != 0) {
                    return Usage(err, std::string("unknown option -") + static_cast<char>(optopt));
                }
                if (std::strncmp(given, "--browser", 9) == 0) {
                    return Usage(err, "--browser needs the window program");
                }
                return Usage(err, "unknown or ambiguous option " +
                                      std::string(given).substr(0, std::string(given).find('=')));
        }
        // "+" stops at the first word that is no option; the rest of the
        // words may still hold options ("--download URL --help" works
        // either way, "--list URL extra" must not pass).
        while (optind < argc && args[optind][0] != '-') positional.emplace_back(args[optind++]);
    }
    while (optind < argc) positional.emplace_back(args[optind++]);
    if (o.help || o.version) return -1;
    if (!positional.empty()) {
        if (o.mode == Options::Mode::kNone) return Usage(err, "unknown command " + positional[0]);
        return Usage(err, "unexpected argument " + positional[0] + " (" + o.modeOption + " takes one)");
    }
    if (o.mode == Options::Mode::kNone) {
        return Usage(err, "give one of --list, --download and --html-to-text");
    }
    if (o.mode != Options::Mode::kDownload && !o.downloadOnly.empty()) {
        return Usage(err, o.downloadOnly + " only goes with --download");
    }
    if (o.utf8 && o.mode != Options::Mode::kHtmlToText) return Usage(err, "--utf8 only goes with --html-to-text");
    if (o.target.empty()) return Usage(err, o.modeOption + " needs a value");
    return -1;
}

int RunList(const Options& o, std::FILE* out, std::FILE* err, const PageLoader& loader) {
    InterruptScope interrupts;
    std::string address = ArgumentToGbk(o.target.c_str());
    ListObserver observer(err, IsTerminal(err));
    LinkList links;
    FetchOptions fetchOptions = LoadFetchLimits();
    fetchOptions.userAgent = o.userAgent.value_or(LoadPreferences().userAgent);
    int code = AnalyseAddress(address, links, observer, &g_interrupted, fetchOptions, loader);
    if (code != kFetchDone) {
        Write(err, "fetchwell: the page " + o.target + " could not be downloaded\n");
        return kExitFailed;
    }
    for (const LinkEntry& link : links) {
        Write(out, OneLine(link.title) + "\t" + OneLine(link.url) + "\n");
    }
    return kExitDone;
}

// The folder exists (made when missing) and a file can be created in it.
bool PrepareWritableFolder(const std::string& folder, std::string& problem) {
    EnsureFolders(folder.back() == '/' ? folder : folder + "/");
    if (!IsDirectory(folder)) {
        problem = "cannot create the folder " + folder;
        return false;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        problem = "cannot write into " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string AbsolutePath(std::string path) {
    if (!path.empty() && path[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) != nullptr) path = std::string(cwd) + "/" + path;
    }
    return path;
}

// Writes the merged book and/or the EPUB the options ask for. False when a
// file could not be written or chapters are missing (listed on `err`).
bool FinishBook(const Options& o, const DownloadJob& job, const std::string& pageTitle,
                const DownloadSummary& summary, std::FILE* err) {
    std::vector<std::string> missing;
    std::string shelf = job.preferences.addToShelf ? ReaderShelfFolder() : std::string();
    const std::string folder = shelf.empty() ? summary.bookFolder : shelf;
    const std::string name = BookFileName(pageTitle.empty() ? job.address : pageTitle);
    bool ok = true;
    if (o.mergeFile) {
        const std::string path = o.mergeFile->empty() ? folder + name + ".txt" : *o.mergeFile;
        int merged = 0;
        if (WriteMergedBook(path, job, merged, missing)) {
            Write(err,
                  "fetchwell: " + std::to_string(merged) + " chapters merged into " + path + "\n");
        } else {
            Write(err, "fetchwell: cannot write " + path + ": " + std::strerror(errno) + "\n");
            ok = false;
        }
    }
    if (o.epubFile) {
        const std::vector<BookChapter> chapters = CollectSavedChapters(job, missing);
        const std::string path = o.epubFile->empty() ? folder + name + ".epub" : *o.epubFile;
        std::string error;
        if (WriteEpub(path, pageTitle.empty() ? job.address : pageTitle, chapters, error)) {
            Write(err, "fetchwell: " + std::to_string(chapters.size()) + " chapters written to " + path + "\n");
        } else {
            Write(err, "fetchwell: " + error + "\n");
            ok = false;
        }
    }
    if (!missing.empty()) {
        Write(err, "fetchwell: " + GbkToUtf8(MissingChaptersText(missing)) + "\n");
        ok = false;
    }
    return ok;
}

int RunDownloadCommand(const Options& o, std::FILE* err, const PageLoader& loader) {
    std::vector<std::pair<int, int>> ranges;
    std::string error;
    if (o.selection && !ParseRowSelection(*o.selection, ranges, error)) return Usage(err, error);
    if (o.outFolder && o.outFolder->empty()) return Usage(err, "--out needs a folder");

    DownloadJob job;
    job.address = ArgumentToGbk(o.target.c_str());
    job.settings = LoadSettings();
    job.preferences = LoadPreferences();
    if (o.delayMs) job.preferences.delayMs = *o.delayMs;
    if (o.retries) job.preferences.retries = *o.retries;
    if (o.userAgent) job.preferences.userAgent = *o.userAgent;
    if (o.missing) job.preferences.missingOnly = true;
    job.fetchOptions = LoadFetchLimits();
    job.fetchOptions.userAgent = job.preferences.userAgent;
    // Only absolute folders are created, so a relative one is made absolute.
    if (o.outFolder) job.settings.saveFolder = AbsolutePath(*o.outFolder);
    bool txt = o.txt, html = o.html;
    if (!txt && !html) txt = html = true;
    job.settings.saveAsTxt = txt ? 1 : 0;
    job.settings.saveAsHtml = html ? 1 : 0;
    job.settings.formatTxt = o.format ? 1 : 0;
    // A folder that cannot take the chapters is found before any request.
    std::string saveFolder = job.settings.saveFolder.size() < 2 ? DownloaderSettings::DefaultSaveFolder()
                                                                : job.settings.saveFolder;
    if (std::string problem; !PrepareWritableFolder(saveFolder, problem)) {
        Write(err, "fetchwell: " + problem + "\n");
        return kExitFailed;
    }

    InterruptScope interrupts;
    const bool live = IsTerminal(err);
    class TitledList final : public AnalysisObserver {
    public:
        TitledList(std::FILE* err, bool live) : list(err, live) {}
        void OnStatus(const std::string& text) override { list.OnStatus(text); }
        void OnFinished(int code) override { list.OnFinished(code); }
        void OnTitle(const std::string& t) override { title = t; }
        ListObserver list;
        std::string title;
    } listObserver(err, live);
    LinkList links;
    job.pageLoader = loader;
    int code = AnalyseAddress(job.address, links, listObserver, &g_interrupted, job.fetchOptions, loader);
    if (code == kFetchAbandoned) return kExitFailed;
    if (code != kFetchDone) {
        Write(err, "fetchwell: the page " + o.target + " could not be downloaded\n");
        return kExitFailed;
    }
    for (LinkEntry& link : links) job.rows.push_back({!o.selection, link.title, link.url});
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

    std::vector<DownloadRow> rows = job.rows;
    DownloadPrinter printer(rows, err, live);
    DownloadSummary summary = RunDownload(job, printer, &g_interrupted);
    bool ok = summary.failed == 0 && !summary.stopped;
    if (!summary.stopped && (o.mergeFile || o.epubFile)) {
        job.rows = std::move(rows);
        ok = FinishBook(o, job, listObserver.title, summary, err) && ok;
    }
    return ok ? kExitDone : kExitFailed;
}

int RunHtmlToText(const Options& o, std::FILE* out, std::FILE* err) {
    std::string page;
    if (!ReadWholeFile(o.target, page)) {
        Write(err, "fetchwell: cannot read " + o.target + "\n");
        return kExitFailed;
    }
    HtmlPageParser parser;
    std::string text = parser.HtmlToText(page);
    Write(out, o.utf8 ? GbkToUtf8(text) : text);
    return kExitDone;
}

}  // namespace

std::string CommandLineHelp() {
    return "Usage: fetchwell COMMAND [OPTION]...\n"
           "Without a command, fetchwell opens its window.\n"
           "\n"
           "Commands:\n"
           "  --list URL              list the links of a contents page, one per line:\n"
           "                          the title as found, a TAB, the resolved address\n"
           "  --download URL          download the page's links into\n"
           "                          DIR/<MD5 of URL>/txt and /html\n"
           "  --html-to-text FILE     the text of an HTML file, as GBK\n"
           "  -h, --help              this text\n"
           "      --version           the version\n"
           "\n"
           "Options of --download:\n"
           "      --select=LIST       rows to download, 1-based, e.g. 1-10,15 (default all)\n"
           "      --out=DIR           save folder (default: the saved setting)\n"
           "      --txt, --html       kinds of file to save (default both)\n"
           "      --format            one paragraph per line, each indented\n"
           "      --delay=MS          pause between chapter requests (default: setting, 300)\n"
           "      --retries=N         further tries of a chapter after a passing failure\n"
           "                          (no connection, time-out, 429, 5xx; default: setting, 2)\n"
           "      --missing           fetch only chapters whose files are not there yet\n"
           "      --merge[=FILE]      also write the chapters as one GBK book, in list order\n"
           "                          (default: <title of the page>.txt in the book folder)\n"
           "      --epub[=FILE]       also write them as an EPUB 3 book (same default, .epub)\n"
           "Options of --list and --download:\n"
           "      --user-agent=TEXT   the User-Agent of every request (default: setting)\n"
           "Options of --html-to-text:\n"
           "      --utf8              print UTF-8 instead of GBK\n"
           "\n"
           "Exit status: 0 done; 1 a page, chapter or file failed (also an --out folder\n"
           "that cannot be written, or chapters missing from a merged book); 2 bad\n"
           "arguments (unknown option, --select 0 or 5-2, a bad number).\n";
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
    return RunCommandLine(argc, argv, out, err, PageLoader());
}

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err, const PageLoader& loader) {
    if (argc < 2) {
        Write(out, CommandLineHelp());
        return kExitDone;
    }
    Options options;
    int rc = ParseOptions(argc, argv, options, err);
    if (rc < 0) {
        if (options.help) {
            Write(out, CommandLineHelp());
            rc = kExitDone;
        } else if (options.version) {
            Write(out, "Fetchwell 1.1.1\n");
            rc = kExitDone;
        } else if (options.mode == Options::Mode::kList) {
            rc = RunList(options, out, err, loader);
        } else if (options.mode == Options::Mode::kDownload) {
            rc = RunDownloadCommand(options, err, loader);
        } else {
            rc = RunHtmlToText(options, out, err);
        }
    }
    std::fflush(out);
    std::fflush(err);
    return rc;
}

}  // namespace quillon
