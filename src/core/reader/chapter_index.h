#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/library/book_text.h"

namespace quillon {

// One chapter heading of a book: where its line starts and the line itself,
// trimmed (GBK).
struct Chapter {
    int32_t offset = 0;
    std::string title;

    bool operator==(const Chapter&) const = default;
};

// A heading is a line of at most this many characters once the blanks
// (ASCII and the full-width space) at both ends are trimmed.
inline constexpr int kMaxHeadingChars = 40;

// The heading rules of data/chapter_rules.txt: one regular expression per
// line (UTF-8, Perl syntax), tried in file order against each trimmed short
// line; the first that matches makes the line a heading. Lines starting with
// '#' and blank lines are comments.
class ChapterRules final {
public:
    ChapterRules();
    ~ChapterRules();
    ChapterRules(ChapterRules&&) noexcept;
    ChapterRules& operator=(ChapterRules&&) noexcept;

    // The rules of a rule file's text. A file that is not UTF-8 is read as
    // GBK. A rule that does not compile is left out and listed in invalid().
    static ChapterRules Parse(std::string_view fileText);

    size_t size() const;
    bool empty() const { return size() == 0; }
    // "<pattern>: <reason>" for each rule left out, in file order (UTF-8).
    const std::vector<std::string>& invalid() const { return invalid_; }

    struct Rule;

private:
    friend class ChapterScanner;
    std::vector<std::unique_ptr<Rule>> rules_;
    std::vector<std::string> invalid_;
};

// <program folder>data/chapter_rules.txt
std::string ChapterRulesPath();
// The rules of that file; none when it is missing.
ChapterRules LoadChapterRules();

struct FindChaptersOptions {
    // Stops the scan early (the result is then partial) when set.
    const std::atomic<bool>* cancel = nullptr;
    // Skips the literal pre-filter and tries every rule on every short line:
    // the reference the pre-filter must agree with.
    bool tryEveryLine = false;
};

// The headings of a GBK book in text order. A line ends at LF; CR and blanks
// at either end are trimmed. Each rule is first reduced to the literal texts
// its matches must begin with (when it is anchored with '^' and starts with
// plain characters, small classes or groups of alternatives), so the regular
// expression runs only on the few lines that start with one of them.
std::vector<Chapter> FindChapters(std::string_view text, const ChapterRules& rules,
                                  const FindChaptersOptions& options = {});

// The index of the chapter that holds `offset` (the last heading at or
// before it), or -1 before the first heading.
int CurrentChapter(const std::vector<Chapter>& chapters, int64_t offset);

// Finds the headings on a thread of its own. `done` runs on that thread
// with the complete list; it is not called for a search that was cancelled.
class ChapterSearch final {
public:
    ChapterSearch() = default;
    ~ChapterSearch() { Cancel(); }
    ChapterSearch(const ChapterSearch&) = delete;
    ChapterSearch& operator=(const ChapterSearch&) = delete;

    // `text` must stay unchanged until the search is done or cancelled.
    void Start(std::string_view text, ChapterRules rules,
               std::function<void(std::vector<Chapter>)> done);
    // The same over a book that may still be arriving: the search waits for
    // the whole text on its own thread.
    void Start(std::shared_ptr<const BookText> book, ChapterRules rules,
               std::function<void(std::vector<Chapter>)> done);
    // Stops a running search and waits for its thread.
    void Cancel();

private:
    // Runs the search on a thread of its own over what `text` gives there.
    void Launch(std::function<std::string_view(const std::atomic<bool>&)> text, ChapterRules rules,
                std::function<void(std::vector<Chapter>)> done);

    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace quillon
