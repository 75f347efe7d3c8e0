#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/net/book_index.h"

namespace quillon {

// What the search page takes from data/main.htm (GBK values).
struct BookSearchSettings {
    int width = 330;
    // A page shown beside the results; "%s" receives the query.
    std::string resultUrl;
    std::string title;
    // The web search offered when nothing matches; "%s" receives the query.
    std::string webSearchUrl;
    // The maker's site, named in the message about missing data.
    std::string homePage;
};

// [SEARCH_BOOK_DLG_WIDTH], [SEARCH_BOOK_URL], [SEARCH_BOOK_TITLE] and
// [SEARCH_BOOK_SEARCH_URL] are looked up one after the other without
// rewinding, so they must stand in that order: a missing key leaves it and
// every later one of the four at its default. [HOME_PAGE_URL] is looked up
// on its own.
BookSearchSettings LoadBookSearchSettings(const std::string& tagFilePath);
BookSearchSettings ParseBookSearchSettings(std::string_view tagText);

// [SEARCH_BOOK_SI_URL], the address that hears which result was opened;
// read afresh for every opened result, since an update may change it.
std::string ReadSearchReportAddress(const std::string& tagFilePath);

// `pattern` with its first "%s" replaced by `query`, every other byte as it
// stands (the pattern is data, never a printf format).
std::string FillSearchQuery(std::string_view pattern, std::string_view query);

// " 总文章数%d, 找到%d个结果, %s" in GBK.
std::string SearchStatusText(int total, int found, std::string_view message);

// The status message of a clicked row: title, source and address.
std::string SearchRowDescription(const BookSearchRow& row);

// The only row of a search without matches: it offers `webSearchUrl` with
// the query as a web search.
BookSearchRow NoMatchRow(std::string_view webSearchUrl, std::string_view query);

// Hears a search. Called on the search thread; an implementation hands the
// calls on to whatever shows them and must not wait for it.
class BookSearchObserver {
public:
    virtual ~BookSearchObserver() = default;
    virtual void RowsCleared() = 0;
    // Rows in order, in batches.
    virtual void RowsFound(std::vector<BookSearchRow> rows) = 0;
    virtual void StatusChanged(int total, int found, const std::string& message) = 0;
    // A message for a box. With `refocusQuery` the query field wants the
    // keyboard focus back shortly after the box.
    virtual void MessageRaised(const std::string& text, bool refocusQuery) = 0;
    // The search is over (-1: none was made); not called after a cancel.
    virtual void SearchEnded(int found) { (void)found; }
};

// Rows are handed on in batches of this many, so that a query matching
// half the index does not post one event per row.
inline constexpr size_t kBookSearchBatch = 256;

// One whole search on the calling thread: clears the rows, loads the index
// if nobody has, searches every file, offers the web search when nothing
// matched. Returns the number of matches (-1 when no search was made).
// `cancelled` stops it between rows without any further call.
int RunBookSearch(BookIndex& index, BookSearchObserver& observer, std::string_view query,
                  const BookSearchSettings& settings, const std::atomic<bool>& cancelled);

// A search on a thread of its own. Dropping the job cancels it and lets the
// thread end by itself; the observer lives as long as the thread.
class BookSearchJob final {
public:
    static std::unique_ptr<BookSearchJob> Start(BookIndex& index, std::shared_ptr<BookSearchObserver> observer,
                                                std::string query, BookSearchSettings settings);
    ~BookSearchJob();
    BookSearchJob(const BookSearchJob&) = delete;
    BookSearchJob& operator=(const BookSearchJob&) = delete;

    void Cancel() { cancelled_->store(true); }
    // Waits for the thread (tests, and callers that must know it is over).
    void Join();

private:
    BookSearchJob() = default;

    std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
    std::thread thread_;
};

// "b_flag=QUILLON_HEAD&b_name=...&b_websit=...&b_url=..." with each value
// form-encoded over its bytes.
std::string BuildSearchReportBody(std::string_view title, std::string_view site, std::string_view url);

// Posts the report of an opened result and waits for the answer; true when
// it carries "BOOK_UPDATE_FLAG_OK". Nobody is told either way.
bool SendSearchReport(const std::string& address, const std::string& title, const std::string& site,
                      const std::string& url);

// SendSearchReport on a thread of its own that owns copies of the texts.
void StartSearchReport(std::string address, std::string title, std::string site, std::string url);

}  // namespace quillon
