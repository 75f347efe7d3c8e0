#include "core/downloader/analysis_worker.h"

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

int AnalyseAddress(const std::string& address, LinkList& links, AnalysisObserver& observer,
                   const std::atomic<bool>* stop, const FetchOptions& options) {
    links.clear();
    PageFetcher fetcher(stop);
    fetcher.SetOptions(options);
    StatusForwarder forwarder(observer);
    std::string page;
    int code = fetcher.Fetch(Gbk("下载目录页"), address, page, &forwarder);
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
    HtmlPageParser parser;
    parser.ExtractLinks(page, address, links);
    if (stop == nullptr || !stop->load()) {
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

bool AnalysisWorker::Start(const std::string& address, const FetchOptions& options) {
    if (running_) return false;
    Wait();
    stop_ = false;
    running_ = true;
    thread_ = std::thread([this, address, options] {
        LinkList links;
        AnalyseAddress(address, links, observer_, &stop_, options);
        running_ = false;
    });
    return true;
}

void AnalysisWorker::Wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace quillon
