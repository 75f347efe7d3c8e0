#include "core/downloader/analysis_worker.h"

#include "core/downloader/page_charset.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

class StatusForwarder final : public FetchObserver {
public:
    explicit StatusForwarder(AnalysisObserver& observer) : observer_(observer) {}
    void OnFetchProgress(const std::string& text) override { observer_.OnStatus(text); }

private:
    AnalysisObserver& observer_;
};

}  // namespace

std::string PageTitle(std::string_view page) {
    size_t open = FindAsciiFolded(page, "<title");
    if (open == std::string_view::npos) return {};
    size_t start = page.find('>', open);
    if (start == std::string_view::npos) return {};
    ++start;
    size_t end = FindAsciiFolded(page, "</title", start);
    std::string_view inner = page.substr(start, end == std::string_view::npos ? 0 : end - start);
    std::string title;
    bool inTag = false, blank = false;
    for (char c : inner) {
        if (c == '<') inTag = true;
        if (inTag) {
            if (c == '>') inTag = false;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = !title.empty();
            continue;
        }
        if (blank) title.push_back(' ');
        blank = false;
        title.push_back(c);
    }
    return title;
}

int AnalyseAddress(const std::string& address, LinkList& links, AnalysisObserver& observer,
                   const std::atomic<bool>* stop, const FetchOptions& options,
                   const PageLoader& loader) {
    links.clear();
    PageFetcher fetcher(stop);
    fetcher.SetOptions(options);
    StatusForwarder forwarder(observer);
    std::string page;
    int code = loader ? loader(address, page, stop)
                      : fetcher.Fetch(Gbk("下载目录页"), address, page, &forwarder);
    if (code == kFetchAbandoned) {
        observer.OnFinished(code);
        return code;
    }
    if (IsFetchFailure(code)) {
        page.clear();
        observer.OnStatus(Gbk("下载失败"));
    } else {
        observer.OnStatus(Gbk("下载完成"));
    }
    if (!loader) ApplyHeaderCharset(page, fetcher.lastContentType());
    HtmlPageParser parser;
    parser.ExtractLinks(page, address, links);
    if (stop == nullptr || !stop->load()) {
        observer.OnTitle(PageTitle(page));
        observer.OnLinks(links);
        observer.OnCount(Format(Gbk("共 %d").c_str(), static_cast<int>(links.size())));
    }
    observer.OnFinished(code);
    return code;
}

AnalysisWorker::~AnalysisWorker() {
    Stop();
    Wait();
}

bool AnalysisWorker::Start(const std::string& address, const FetchOptions& options,
                           PageLoader loader) {
    if (running_) return false;
    Wait();
    stop_ = false;
    running_ = true;
    thread_ = std::thread([this, address, options, loader = std::move(loader)] {
        LinkList links;
        AnalyseAddress(address, links, observer_, &stop_, options, loader);
        running_ = false;
    });
    return true;
}

void AnalysisWorker::Wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace quillon
