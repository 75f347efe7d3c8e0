#include "core/net/book_search.h"

#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "book_index_bytes.h"
#include "core/net/url_encode.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"
#include "local_servers.h"

namespace quillon {
namespace {

using net_test::IndexBytes;
using net_test::TempFolder;

// Writes down what a search tells, in UTF-8 for readable expectations.
class RecordingObserver final : public BookSearchObserver {
public:
    void RowsCleared() override { events.push_back("clear"); }
    void RowsFound(std::vector<BookSearchRow> batch) override {
        events.push_back("rows " + std::to_string(batch.size()));
        for (auto& row : batch) rows.push_back(row);
    }
    void StatusChanged(int total, int found, const std::string& message) override {
        events.push_back(GbkToUtf8(SearchStatusText(total, found, message)));
    }
    void MessageRaised(const std::string& text, bool refocus) override {
        messages.push_back(GbkToUtf8(text));
        refocused = refocus;
    }
    void SearchEnded(int found) override { events.push_back("end " + std::to_string(found)); }
    std::vector<std::string> events;
    std::vector<BookSearchRow> rows;
    std::vector<std::string> messages;
    bool refocused = false;
};

class BookSearchRun : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::string& bytes) { net_test::WriteIndex(folder_.path() + name, bytes); }
    int Run(BookIndex& index, std::string_view utf8Query) {
        return RunBookSearch(index, observer_, Utf8ToGbk(utf8Query), settings_, cancelled_);
    }
    TempFolder folder_;
    RecordingObserver observer_;
    BookSearchSettings settings_;
    std::atomic<bool> cancelled_{false};
};

TEST_F(BookSearchRun, ReportsEachStepAndFindsAcrossFiles) {
    Write("libdata_1.dat", IndexBytes::File("甲站", {{"http://a/1", "西游记"}, {"http://a/2", "三国演义"}}));
    Write("libdata_2.dat", IndexBytes::File("乙站", {{"http://b/1", "西游补"}}));
    Write("libdata_3.dat", IndexBytes::File("丙站", {{"http://c/1", "红楼梦"}}));
    BookIndex index(folder_.path());

    EXPECT_EQ(Run(index, " 西游 "), 2);
    std::vector<std::string> expected = {
        "clear",
        " 总文章数0, 找到0个结果, 加载数据....",
        " 总文章数4, 找到0个结果, 开始搜索....",
        "rows 1",
        " 总文章数4, 找到0个结果, 搜索中....",
        "rows 1",
        " 总文章数4, 找到0个结果, 搜索中....",
        " 总文章数4, 找到0个结果, 搜索中....",
        " 总文章数4, 找到2个结果, 搜索完成",
        "end 2",
    };
    EXPECT_EQ(observer_.events, expected);
    ASSERT_EQ(observer_.rows.size(), 2u);
    EXPECT_EQ(GbkToUtf8(observer_.rows[1].title), "西游补");
    EXPECT_EQ(GbkToUtf8(observer_.rows[1].site), "乙站");
    EXPECT_EQ(observer_.rows[1].url, "http://b/1");
    EXPECT_TRUE(observer_.messages.empty());
}

TEST_F(BookSearchRun, NoMatchOffersTheWebSearchForTheQuery) {
    Write("libdata_1.dat", IndexBytes::File("甲站", {{"http://a/1", "西游记"}}));
    BookIndex index(folder_.path());
    // A pattern with printf directives besides its "%s" must come out as it
    // stands around the query.
    settings_.webSearchUrl = "http://find.test/?q=%s&x=%d%n%s";
    EXPECT_EQ(Run(index, "  聊斋  志异 "), 0);
    ASSERT_EQ(observer_.rows.size(), 1u);
    const BookSearchRow& row = observer_.rows[0];
    EXPECT_EQ(GbkToUtf8(row.title), "未找到相关数据");
    EXPECT_EQ(GbkToUtf8(row.action), "在网络搜索");
    EXPECT_EQ(row.site, " ");
    EXPECT_EQ(GbkToUtf8(row.url), "http://find.test/?q=聊斋  志异&x=%d%n%s");
    EXPECT_EQ(observer_.events.end()[-2], " 总文章数1, 找到0个结果, 搜索完成");
    EXPECT_EQ(observer_.events.back(), "end 0");

    // Without a configured web search the row carries no address at all.
    settings_.webSearchUrl.clear();
    Run(index, "无");
    ASSERT_EQ(observer_.rows.size(), 2u);
    EXPECT_EQ(observer_.rows[1].url, "");
}

TEST_F(BookSearchRun, EmptyQueryAndEmptyIndexAreRefused) {
    BookIndex empty(folder_.path());
    EXPECT_EQ(Run(empty, "   "), -1);
    EXPECT_EQ(observer_.messages, std::vector<std::string>{"请输入要搜索的内容"});
    EXPECT_TRUE(observer_.refocused);
    EXPECT_EQ(observer_.events, (std::vector<std::string>{"clear", "end -1"}));
    // An empty query loads nothing.
    EXPECT_EQ(empty.state(), BookIndex::kNotLoaded);

    observer_ = {};
    settings_.homePage = "http://home.test/";
    EXPECT_EQ(Run(empty, "西游"), -1);
    ASSERT_EQ(observer_.messages.size(), 1u);
    EXPECT_EQ(observer_.messages[0],
              "软件中的部分数据未更新(可能是网络连接问题),暂不能使用此功能.\n"
              "请过5分钟后重启软件,若多次重试仍不能解决此问题,请从官网下载最新版本.\n"
              "官方网站: http://home.test/");
    EXPECT_FALSE(observer_.refocused);
    EXPECT_EQ(observer_.events.end()[-2], " 总文章数0, 找到0个结果, 未执行搜索");
    EXPECT_EQ(observer_.events.back(), "end -1");
    EXPECT_TRUE(observer_.rows.empty());
}

TEST_F(BookSearchRun, ManyMatchesArriveInBatchesAndACancelStopsThem) {
    std::vector<std::pair<std::string, std::string>> records;
    for (int i = 0; i < 1000; ++i) records.emplace_back("http://s/" + std::to_string(i), "卷" + std::to_string(i));
    Write("libdata_1.dat", IndexBytes::File("站", records));
    BookIndex index(folder_.path());
    EXPECT_EQ(Run(index, "卷"), 1000);
    EXPECT_EQ(observer_.rows.size(), 1000u);
    int batches = 0;
    for (const auto& e : observer_.events) batches += e.rfind("rows ", 0) == 0;
    EXPECT_EQ(batches, 4);
    EXPECT_EQ(observer_.rows.back().url, "http://s/999");

    // A search whose page went away adds nothing more and says nothing.
    class StopAfterFirstBatch final : public BookSearchObserver {
    public:
        explicit StopAfterFirstBatch(std::atomic<bool>& flag) : flag_(flag) {}
        void RowsCleared() override {}
        void RowsFound(std::vector<BookSearchRow> batch) override {
            rows += batch.size();
            flag_ = true;
        }
        void StatusChanged(int, int, const std::string&) override { ++statuses; }
        void MessageRaised(const std::string&, bool) override {}
        size_t rows = 0;
        int statuses = 0;
        std::atomic<bool>& flag_;
    };
    std::atomic<bool> cancelled{false};
    StopAfterFirstBatch stopper(cancelled);
    EXPECT_EQ(RunBookSearch(index, stopper, Gbk("卷"), settings_, cancelled), -1);
    EXPECT_EQ(stopper.rows, kBookSearchBatch);
    EXPECT_EQ(stopper.statuses, 2);
}

TEST_F(BookSearchRun, JobsOnThreadsShareOneLoad) {
    std::vector<std::pair<std::string, std::string>> records;
    for (int i = 0; i < 5000; ++i) records.emplace_back("u" + std::to_string(i), "篇" + std::to_string(i));
    Write("libdata_1.dat", IndexBytes::File("站", records));
    BookIndex index(folder_.path());
    std::vector<std::shared_ptr<RecordingObserver>> observers;
    std::vector<std::unique_ptr<BookSearchJob>> jobs;
    for (int i = 0; i < 4; ++i) {
        observers.push_back(std::make_shared<RecordingObserver>());
        jobs.push_back(BookSearchJob::Start(index, observers.back(), Gbk("篇12"), settings_));
    }
    for (auto& job : jobs) job->Join();
    for (const auto& o : observers) {
        // 篇12, 篇120-129, 篇1200-1299.
        EXPECT_EQ(o->rows.size(), 111u);
        EXPECT_EQ(o->events.end()[-2], " 总文章数5000, 找到111个结果, 搜索完成");
    }
    EXPECT_EQ(index.fileCount(), 1);
}

TEST(BookSearchSettings, KeysAreReadInOrderWithoutRewinding) {
    std::string full = Gbk(
        "[HOME_PAGE_URL]\r\nhttp://home.test/\r\n"
        "[SEARCH_BOOK_DLG_WIDTH]\r\n// width\r\n  412 \r\n"
        "[SEARCH_BOOK_URL]\r\nhttp://r.test/?k=%s\r\n"
        "[SEARCH_BOOK_TITLE]\r\n小说搜索\r\n"
        "[SEARCH_BOOK_SEARCH_URL]\r\nhttp://w.test/?q=%s\r\n");
    BookSearchSettings s = ParseBookSearchSettings(full);
    EXPECT_EQ(s.width, 412);
    EXPECT_EQ(s.resultUrl, "http://r.test/?k=%s");
    EXPECT_EQ(GbkToUtf8(s.title), "小说搜索");
    EXPECT_EQ(s.webSearchUrl, "http://w.test/?q=%s");
    EXPECT_EQ(s.homePage, "http://home.test/");

    // The title key placed before the address key is passed over while the
    // address is sought, so it and everything after it keep the defaults.
    BookSearchSettings swapped = ParseBookSearchSettings(
        "[SEARCH_BOOK_DLG_WIDTH]\n500\n[SEARCH_BOOK_TITLE]\nT\n[SEARCH_BOOK_URL]\nhttp://r/\n"
        "[SEARCH_BOOK_SEARCH_URL]\nhttp://w/\n");
    EXPECT_EQ(swapped.width, 500);
    EXPECT_EQ(swapped.resultUrl, "http://r/");
    EXPECT_EQ(swapped.title, "");
    EXPECT_EQ(swapped.webSearchUrl, "");

    BookSearchSettings none = ParseBookSearchSettings("[SEARCH_BOOK_DLG_WIDTH]\nwide\n");
    EXPECT_EQ(none.width, 330);
    EXPECT_EQ(none.resultUrl, "");
}

TEST(BookSearchSettings, ShippedTagFileLeavesTheReportOff) {
    // The shipped data must contact nobody: the report address is empty.
    std::string path = std::string(QUILLON_TEST_DATA) + "/../../data/main.htm";
    EXPECT_EQ(ReadSearchReportAddress(path), "");
    BookSearchSettings s = LoadBookSearchSettings(path);
    EXPECT_EQ(s.width, 330);
    EXPECT_NE(s.webSearchUrl.find("%s"), std::string::npos);
}

TEST(BookSearchReport, PostsTheOpenedRowAndReadsTheMarker) {
    net_test::HttpTestServer server;
    std::mutex mutex;
    std::string body;
    std::string contentType;
    std::string answer = "BOOK_UPDATE_FLAG_OK";
    server.server().Post("/si", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        body = req.body;
        contentType = req.get_header_value("Content-Type");
        res.set_content(answer, "text/plain");
    });
    server.Start();

    std::string title = Gbk("未找到相关数据");
    EXPECT_TRUE(SendSearchReport(server.Url("/si"), title, " ", "http://w.test/?q=a b&c=d"));
    {
        std::lock_guard lock(mutex);
        // '&' and '=' pass the form encoding unchanged, as the receiving
        // server expects of this report.
        EXPECT_EQ(body, "b_flag=QUILLON_HEAD&b_name=" + UrlEncodeForm(title.data(), title.size()) +
                            "&b_websit=%20&b_url=http%3A%2F%2Fw%2Etest%2F%3Fq=a%20b&c=d");
        EXPECT_EQ(contentType, "application/x-www-form-urlencoded");
        answer = "NOPE";
    }
    EXPECT_FALSE(SendSearchReport(server.Url("/si"), "t", "s", "u"));
    EXPECT_EQ(BuildSearchReportBody("", "", ""), "b_flag=QUILLON_HEAD&b_name=&b_websit=&b_url=");
}

TEST(BookSearchReport, AnUnreachableServerIsSilent) {
    EXPECT_FALSE(SendSearchReport("http://127.0.0.1:" + std::to_string(net_test::ClosedPort()) + "/si", "t", "s", "u"));
    EXPECT_FALSE(SendSearchReport("not an address", "t", "s", "u"));
}

TEST(BookSearchText, RowDescriptionAndStatus) {
    BookSearchRow row{Gbk("红楼梦"), Gbk("打开内容"), Gbk("甲站"), "http://a/1"};
    EXPECT_EQ(GbkToUtf8(SearchRowDescription(row)), "红楼梦 出处:甲站 网址:http://a/1");
    // A message with '%' in it is printed as it stands.
    EXPECT_EQ(GbkToUtf8(SearchStatusText(12, 3, "100%s")), " 总文章数12, 找到3个结果, 100%s");
}

}  // namespace
}  // namespace quillon
