#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class Messenger;
class PagingModel;

// One row of the find dialog's result list: the byte offset of the
// occurrence in the book and the book's own bytes found there (at least 10,
// or the search text's length if longer, fewer only at the end of the book).
struct FindRow {
    int32_t position = 0;
    std::string found;
};

// What the first column of every result row holds.
inline constexpr std::string_view kFindRowLabel = "  ";

// The position column of a row, "%d".
std::string FindRowPositionText(const FindRow& row);

// Every occurrence of `what` in `text`, in order and without overlap (the
// scan resumes after each occurrence). An occurrence never starts on the
// second byte of a two-byte character. Without `caseSensitive`, single-byte
// ASCII letters match either case; two-byte characters always match exactly.
// The book is searched where it lies: no copy of it is made.
std::vector<int32_t> FindOccurrences(std::string_view text, std::string_view what,
                                     bool caseSensitive);

// The result rows for FindOccurrences.
std::vector<FindRow> FindInBook(std::string_view text, std::string_view what, bool caseSensitive);

// The dialog's search step: an empty search text and a search without result
// are reported through `messenger` ("请输入要查找的内容", "未找到，请重新查找")
// and give no rows.
std::vector<FindRow> RunSearch(std::string_view text, std::string_view what, bool caseSensitive,
                               Messenger& messenger);

// Picking a result row: reads the row's position column as a decimal number
// and turns the model to the page of the first line with
// start <= position <= end, selecting that row. False (and nothing changes)
// when no line holds the position.
bool PickResult(PagingModel& model, std::string_view positionText);

// The page (from 1) on which PickResult would show `position` in the
// model's current layout; 0 when no line holds it.
int32_t PageOfPosition(const PagingModel& model, int64_t position);

// The hit of `length` bytes at `position` with up to `around` characters of
// its own line on either side, the hit in 【】, for a result row (GBK).
// Tabs and CRs inside become spaces; "…" marks a cut line.
std::string FindRowContext(std::string_view text, int32_t position, size_t length, int around = 8);

}  // namespace quillon
