#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/library/book_text.h"

namespace quillon {

// One display line of the book: bytes [start, end) of the text. A two-byte
// lead as the very last byte of the text gives a last line whose end is one
// past the text; extracting bytes is clamped to the text.
struct DisplayLine {
    int32_t start = 0;
    int32_t end = 0;
};

// The display lines of the whole book, in text order. Lines never overlap
// and are never empty, so lookups by offset are binary searches. The table
// is kept in blocks of 2 MiB that never move: it grows as a big book is cut
// without copying what it holds, and needs no count of the book's lines
// beforehand.
class LineTable final {
public:
    static constexpr int kBlockShift = 18;
    static constexpr int32_t kBlockLines = int32_t{1} << kBlockShift;

    class Iterator final {
    public:
        Iterator(const LineTable* table, int32_t index) : table_(table), index_(index) {}
        const DisplayLine& operator*() const { return (*table_)[index_]; }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return index_ != other.index_; }

    private:
        const LineTable* table_;
        int32_t index_;
    };

    int32_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const DisplayLine& operator[](int32_t index) const {
        return blocks_[static_cast<size_t>(index >> kBlockShift)][index & (kBlockLines - 1)];
    }
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size_}; }

    // Index of the first line with start <= offset < end, or -1.
    int32_t FindContaining(int64_t offset) const;
    // Index of the first line with start <= offset <= end, or -1. Where one
    // line ends exactly where the next starts, the earlier line wins.
    int32_t FindContainingInclusive(int64_t offset) const;

    // Empties the table; its blocks are kept for the next split of the
    // same book, which needs about as many.
    void Clear() { size_ = 0; }
    // Empties the table and gives its blocks back.
    void Release() {
        blocks_.clear();
        size_ = 0;
    }
    void Append(int32_t start, int32_t end) {
        const auto block = static_cast<size_t>(size_ >> kBlockShift);
        if (block == blocks_.size()) AddBlock();
        blocks_[block][size_ & (kBlockLines - 1)] = {start, end};
        ++size_;
    }
    size_t CapacityBytes() const { return blocks_.size() * kBlockLines * sizeof(DisplayLine); }

private:
    void AddBlock();
    // Index of the last line with start <= offset, or -1.
    int32_t LastStartingAtOrBefore(int64_t offset) const;

    std::vector<std::unique_ptr<DisplayLine[]>> blocks_;
    int32_t size_ = 0;
};

// A rectangle in page coordinates: left <= x < right, top <= y < bottom.
struct CellRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

enum CellKind : uint8_t {
    kCellEmpty = 0,
    kCellControl = 1,  // TAB, CR or LF
    kCellSingle = 2,   // a single-byte character
    kCellLead = 3,     // first byte of a two-byte character
    kCellTrail = 4,    // second byte of a two-byte character
};

// One byte of the shown page. Cleared state: byte 0x20, kind 0, both flags
// 0; the rectangle keeps whatever it held.
struct Cell {
    CellRect rect;
    uint8_t byte = 0x20;
    uint8_t kind = kCellEmpty;
    uint8_t selected = 0;  // selection highlight of the reading page
    uint8_t spoken = 0;    // highlight of the text being read aloud
};

// The page's cells: up to 500 rows, each with up to 500 columns plus one.
// A row holds at most `cols` bytes, or `cols + 1` when a two-byte character
// starts in the last column, so with 500 columns the trail byte of such a
// character needs a 501st cell; selecting a whole row likewise touches cells
// 0 to `cols` inclusive.
class CellGrid final {
public:
    static constexpr int kRows = 500;
    static constexpr int kCols = 501;

    CellGrid();

    Cell& At(int row, int col) { return cells_[Index(row, col)]; }
    const Cell& At(int row, int col) const { return cells_[Index(row, col)]; }
    Cell* Row(int row) { return &cells_[Index(row, 0)]; }
    const Cell* Row(int row) const { return &cells_[Index(row, 0)]; }

    static constexpr size_t SizeBytes() { return sizeof(Cell) * kRows * kCols; }

private:
    static size_t Index(int row, int col) { return static_cast<size_t>(row) * kCols + col; }
    std::unique_ptr<Cell[]> cells_;
};

// Reads an optional sign and the leading decimal digits of `text`, the way a
// page-number field or a result's position column is read: anything that is
// not a number reads as 0, and values beyond the 32-bit range saturate
// instead of overflowing.
int32_t ParseLeadingInt(std::string_view text);

// The text paging model of one reading page: the book's bytes, their display
// lines for the current column count, the page geometry and the cell grid of
// the page shown. Everything is in GBK bytes and byte offsets; nothing here
// converts text. A page turn touches only the rows of one page, whatever the
// size of the book; only a change of geometry re-splits the whole text.
class PagingModel final {
public:
    // Fixed page margins in pixels.
    static constexpr int kMarginLeft = 50;
    static constexpr int kMarginTop = 40;
    static constexpr int kMarginRight = 18;
    static constexpr int kMarginBottom = 25;
    static constexpr int kCellGap = 1;
    static constexpr int kLineGap = 1;
    static constexpr int kMaxRows = 500;
    static constexpr int kMaxCols = 500;
    // Offsets are 32-bit; a longer text is cut here so that no offset, end
    // (which may be one past the text) or line count can overflow.
    static constexpr size_t kMaxTextBytes = kMaxBookBytes;

    PagingModel();
    ~PagingModel();
    // Moving keeps an unfinished split valid: the text it cuts is shared,
    // not moved.
    PagingModel(PagingModel&&) noexcept;
    PagingModel& operator=(PagingModel&&) noexcept;

    // Starts a new book. The text ends at its first zero byte, as a book read
    // from a file is handed over as a zero-terminated string. All counts go
    // to 0, `firstLineStart` to -1, and the page-number text to "0"; the
    // next UpdateGeometry re-splits since rows and columns are 0.
    void SetText(std::string bytes);
    // The same with a book that may still be arriving: lines are cut only
    // from its final bytes, and whatever needs bytes not there yet (a page
    // far into the book, the last page, the whole text) waits for them.
    void SetText(std::shared_ptr<const BookText> book);

    // Takes the spacing of the display settings. A value outside 1-100 is
    // taken as 14, the value the settings dialog stores for such input, so
    // a damaged settings file cannot give a zero or negative pitch. Takes
    // effect at the next UpdateGeometry/Relayout.
    void SetSpacing(int charSpacing, int lineSpacing);

    // Recomputes rows and columns for a client area of width x height and
    // re-splits when they change. Too small a window (fewer than 5 columns
    // or 2 rows) keeps the previous split and page. True when it re-split.
    bool UpdateGeometry(int width, int height);

    // Rebuilds the line table for the current column count, then lays out.
    // Only the lines up to the page shown (the one holding `topOffset`) are
    // cut at once; the rest follows through ContinueSplit, or on demand as
    // soon as a page, an offset or the totals need them, so a huge book
    // shows its first page without waiting for the whole table.
    void SplitLines();
    // Cuts the lines of about `maxBytes` more bytes of text. True once the
    // line table is complete (at once when it already was).
    bool ContinueSplit(size_t maxBytes);
    // Completes the line table.
    void FinishSplit();
    bool splitComplete() const { return splitter_ == nullptr; }
    // Rewrites the status text for the page shown, as when the totals have
    // just become known; the page and its cells stay as they are.
    void RefreshStatus();

    // Clamps `topLine` to a page start and builds the page: row strings,
    // status text, page number and cells. Skipped while there are no lines;
    // false then.
    bool LayoutPage();

    // After a resize or new settings: the line that now holds the byte that
    // was at the top becomes the top line. Rounding down to a page boundary
    // instead would move the reader back by up to a page at every resize or
    // full-screen toggle.
    void Relayout(int width, int height);

    // Makes the line holding `offset` (start <= offset < end) the top line;
    // the first page when no line holds it (an offset past the end of a book
    // edited since). False, changing nothing, while there are no lines.
    bool ShowOffsetAtTop(int64_t offset);

    // Moves the top line by `delta` lines, staying within the text.
    void ScrollLines(int64_t delta);

    void NextPage();
    void PrevPage();
    void FirstPage();
    void LastPage();
    // Page numbers count from 1; 0 or less shows the first page, past the
    // end the last.
    void GoToPage(int64_t page);
    // Bookmarks: shows the page of the line with start <= offset < end, or
    // the first page when no line holds the offset.
    void GoToOffset(int64_t offset);
    // Find results: shows the page of the first line with
    // start <= offset <= end and selects that whole row. Does nothing and
    // returns false when no line matches.
    bool GoToOffsetAndSelect(int64_t offset);

    struct Hit {
        int row = -1;
        int col = -1;
    };
    // The first cell, row by row, with a kind above 0 whose rectangle holds
    // the point; (-1, -1) when there is none.
    Hit HitTest(int x, int y) const;

    // Puts every cell that any layout or selection could have touched into
    // its cleared state (cells beyond every geometry used are still in it).
    void ClearCells();

    // Bytes [start, end) of a line, clamped to the text.
    std::string_view LineBytes(int32_t index) const;

    // Heap held by the model: text, line table, cell grid and row strings.
    size_t HeapBytes() const;

    // The whole text, waiting for a book still arriving.
    std::string_view text() const { return book_->Whole(); }
    const std::shared_ptr<const BookText>& book() const { return book_; }
    // The text's length; while it is still arriving, the most it can have.
    int32_t textLength() const { return static_cast<int32_t>(book_->size()); }
    const LineTable& lineTable() const { return lines_; }
    int32_t lineCount() const { return lines_.size(); }
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    int charSpacing() const { return charSpacing_; }
    int lineSpacing() const { return lineSpacing_; }
    int32_t topLine() const { return topLine_; }
    int32_t topOffset() const { return topOffset_; }
    // The byte that belongs on the first row: the top line's start after a
    // page turn or jump, kept unchanged through re-splits. This is the
    // reading position worth remembering.
    int32_t anchorOffset() const { return anchorOffset_; }
    int32_t firstLineStart() const { return firstLineStart_; }
    int32_t firstLineEnd() const { return firstLineEnd_; }
    // Counts of the lines cut so far: final once splitComplete().
    int32_t totalPages() const;
    // The pages and position of the page shown, GBK. The totals show as
    // "…" until the line table is complete.
    const std::string& statusText() const { return statusText_; }
    // What the page-number field shows: "0" after SetText, else the page.
    const std::string& pageNumberText() const { return pageNumberText_; }
    const std::string& pageLine(int row) const { return pageLines_[static_cast<size_t>(row)]; }
    const std::array<std::string, kMaxRows>& pageLines() const { return pageLines_; }

    CellGrid& cellGrid() { return *grid_; }
    const CellGrid& cellGrid() const { return *grid_; }

    // The speech highlight range; every layout resets it to 0.
    int32_t spokenFrom = 0;
    int32_t spokenTo = 0;

private:
    struct Splitter;

    void SetTopLine(int64_t line);
    void BuildCells();
    // Cuts lines until there are more than `count`, or the table is complete.
    void EnsureLines(int64_t count);
    // Cuts lines until one ends beyond `offset`, or the table is complete.
    void EnsureOffset(int64_t offset);
    void FormatStatus(int64_t page);

    std::shared_ptr<const BookText> book_;
    int splitCols_ = 0;  // columns of the current line table, 0 if none
    LineTable lines_;
    // Where cutting stands while the table is incomplete; null once done.
    std::unique_ptr<Splitter> splitter_;
    int charSpacing_ = 16;
    int lineSpacing_ = 40;
    int rows_ = 0;
    int cols_ = 0;
    int32_t topLine_ = 0;
    int32_t topOffset_ = 0;
    int32_t anchorOffset_ = 0;
    int32_t firstLineStart_ = -1;
    int32_t firstLineEnd_ = 0;
    std::string statusText_;
    std::string pageNumberText_ = "0";
    std::array<std::string, kMaxRows> pageLines_;
    std::unique_ptr<CellGrid> grid_;
    // How far layouts and selections may have written into the grid since
    // the last clear; clearing stops there instead of sweeping all 250,000
    // cells at every page turn.
    int dirtyRows_ = 0;
    int dirtyCols_ = 0;
};

}  // namespace quillon
