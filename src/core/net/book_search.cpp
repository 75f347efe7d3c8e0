#include "core/net/book_search.h"

#include <chrono>
#include <cstdlib>

#include "core/config/tag_file.h"
#include "core/net/http_post.h"
#include "core/net/url_encode.h"
#include "core/platform/file_io.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

std::string ReadTagText(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

// Reads the value after `key` from the cursor on; false leaves `out` alone.
bool NextKeyValue(TagText& tags, std::string_view key, std::string& out) {
    std::string line;
    if (tags.FindLine(key, line) != 0) return false;
    if (tags.NextValue(line) != 0) return false;
    out = line;
    return true;
}

bool AboutBlank(std::string_view address) { return EqualsIgnoreCase(TrimAscii(address), "about:blank"); }

}  // namespace

BookSearchSettings ParseBookSearchSettings(std::string_view tagText) {
    BookSearchSettings settings;
    TagText tags;
    tags.SetText(tagText);
    std::string width;
    if (NextKeyValue(tags, "[SEARCH_BOOK_DLG_WIDTH]", width)) {
        char* end = nullptr;
        long value = std::strtol(width.c_str(), &end, 10);
        if (end != width.c_str() && value > 0 && value < 100000) settings.width = static_cast<int>(value);
    }
    // The series goes on only while each key is found, as the cursor then
    // stands at the end of the text.
    if (NextKeyValue(tags, "[SEARCH_BOOK_URL]", settings.resultUrl) &&
        NextKeyValue(tags, "[SEARCH_BOOK_TITLE]", settings.title))
        NextKeyValue(tags, "[SEARCH_BOOK_SEARCH_URL]", settings.webSearchUrl);

    TagFile file;
    file.SetText(tagText);
    settings.homePage = file.GetValue("[HOME_PAGE_URL]");
    return settings;
}

std::string FillSearchQuery(std::string_view pattern, std::string_view query) {
    // Only the one place is filled: the pattern arrives with the data
    // updates, and treated as a printf format any other '%' in it would read
    // past the arguments.
    size_t at = pattern.find("%s");
    if (at == std::string_view::npos) return std::string(pattern);
    std::string out(pattern.substr(0, at));
    out += query;
    out += pattern.substr(at + 2);
    return out;
}

BookSearchSettings LoadBookSearchSettings(const std::string& tagFilePath) {
    return ParseBookSearchSettings(ReadTagText(tagFilePath));
}

std::string ReadSearchReportAddress(const std::string& tagFilePath) {
    TagText tags;
    if (tags.Load(tagFilePath) != 0) return {};
    std::string address;
    NextKeyValue(tags, "[SEARCH_BOOK_SI_URL]", address);
    return address;
}

std::string SearchStatusText(int total, int found, std::string_view message) {
    static const std::string format = Gbk(" 总文章数%d, 找到%d个结果, %s");
    std::string text(message);
    return Format(format.c_str(), total, found, text.c_str());
}

std::string SearchRowDescription(const BookSearchRow& row) {
    return row.title + Gbk(" 出处:") + row.site + Gbk(" 网址:") + row.url;
}

BookSearchRow NoMatchRow(std::string_view webSearchUrl, std::string_view query) {
    return BookSearchRow{Gbk("未找到相关数据"), Gbk("在网络搜索"), " ",
                         webSearchUrl.empty() ? std::string() : FillSearchQuery(webSearchUrl, query)};
}

int RunBookSearch(BookIndex& index, BookSearchObserver& observer, std::string_view rawQuery,
                  const BookSearchSettings& settings, const std::atomic<bool>& cancelled) {
    int found = 0;
    observer.RowsCleared();
    std::string query(TrimAscii(rawQuery));
    if (query.empty()) {
        observer.MessageRaised(Gbk("请输入要搜索的内容"), true);
        observer.SearchEnded(-1);
        return -1;
    }

    observer.StatusChanged(index.total(), found, Gbk("加载数据...."));
    while (index.Ensure() == BookIndex::kLoading) {
        if (cancelled) return -1;
        index.WaitLoaded(std::chrono::milliseconds(1000));
    }
    if (cancelled) return -1;

    if (index.total() == 0) {
        std::string text = Gbk("软件中的部分数据未更新(可能是网络连接问题),暂不能使用此功能.") + "\n" +
                           Gbk("请过5分钟后重启软件,若多次重试仍不能解决此问题,请从官网下载最新版本.");
        if (!settings.homePage.empty() && !AboutBlank(settings.homePage))
            text += "\n" + Gbk("官方网站: ") + settings.homePage;
        observer.MessageRaised(text, false);
        observer.StatusChanged(index.total(), found, Gbk("未执行搜索"));
        observer.SearchEnded(-1);
        return -1;
    }

    const std::vector<std::string> words = SplitSearchWords(query);
    const std::string starting = Gbk("开始搜索....");
    const std::string searching = Gbk("搜索中....");
    int rows = 0;
    std::vector<BookSearchRow> batch;
    auto flush = [&] {
        if (batch.empty()) return;
        observer.RowsFound(std::move(batch));
        batch = {};
    };
    for (int i = 0; i < index.fileCount(); ++i) {
        observer.StatusChanged(index.total(), found, i == 0 ? starting : searching);
        index.file(i).Search(words, [&](BookSearchRow&& row) {
            if (cancelled) return false;
            batch.push_back(std::move(row));
            ++rows;
            if (batch.size() >= kBookSearchBatch) flush();
            return true;
        });
        if (cancelled) return -1;
        flush();
    }
    observer.StatusChanged(index.total(), found, searching);

    found = rows;
    if (found < 1) observer.RowsFound({NoMatchRow(settings.webSearchUrl, query)});
    observer.StatusChanged(index.total(), found, Gbk("搜索完成"));
    observer.SearchEnded(found);
    return found;
}

std::unique_ptr<BookSearchJob> BookSearchJob::Start(BookIndex& index, std::shared_ptr<BookSearchObserver> observer,
                                                    std::string query, BookSearchSettings settings) {
    std::unique_ptr<BookSearchJob> job(new BookSearchJob());
    // The thread holds its own share of the flag and the observer, so it
    // may outlive the job that started it.
    job->thread_ = std::thread([&index, observer = std::move(observer), cancelled = job->cancelled_,
                                query = std::move(query), settings = std::move(settings)] {
        RunBookSearch(index, *observer, query, settings, *cancelled);
    });
    return job;
}

BookSearchJob::~BookSearchJob() {
    Cancel();
    if (thread_.joinable()) thread_.detach();
}

void BookSearchJob::Join() {
    if (thread_.joinable()) thread_.join();
}

std::string BuildSearchReportBody(std::string_view title, std::string_view site, std::string_view url) {
    return "b_flag=QUILLON_HEAD&b_name=" + UrlEncodeForm(title.data(), title.size()) +
           "&b_websit=" + UrlEncodeForm(site.data(), site.size()) + "&b_url=" + UrlEncodeForm(url.data(), url.size());
}

bool SendSearchReport(const std::string& address, const std::string& title, const std::string& site,
                      const std::string& url) {
    std::string answer;
    if (HttpPost(address, BuildSearchReportBody(title, site, url), answer) != 0) return false;
    return answer.find("BOOK_UPDATE_FLAG_OK") != std::string::npos;
}

void StartSearchReport(std::string address, std::string title, std::string site, std::string url) {
    std::thread([address = std::move(address), title = std::move(title), site = std::move(site),
                 url = std::move(url)] { SendSearchReport(address, title, site, url); })
        .detach();
}

}  // namespace quillon
