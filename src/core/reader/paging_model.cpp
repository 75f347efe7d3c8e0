#include "core/reader/paging_model.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/text/gbk_literal.h"

namespace quillon {

// ---------------------------------------------------------------------------
// Line table

void LineTable::AddBlock() {
    // Not zeroed: a line is always written before it is read, and pages
    // of a block never reached cost no memory.
    blocks_.push_back(std::make_unique_for_overwrite<DisplayLine[]>(kBlockLines));
}

int32_t LineTable::LastStartingAtOrBefore(int64_t offset) const {
    // Lines are ordered and disjoint, so only this one can hold the offset.
    int32_t lo = 0;
    int32_t hi = size_;  // the answer is below hi
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if ((*this)[mid].start <= offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo - 1;
}

int32_t LineTable::FindContaining(int64_t offset) const {
    const int32_t i = LastStartingAtOrBefore(offset);
    return i >= 0 && offset < (*this)[i].end ? i : -1;
}

int32_t LineTable::FindContainingInclusive(int64_t offset) const {
    int32_t i = LastStartingAtOrBefore(offset);
    if (i < 0) return -1;
    // A line that ends exactly at the offset comes before the one that
    // starts there, and the earlier one wins.
    if (i > 0 && (*this)[i - 1].end == offset) --i;
    return offset <= (*this)[i].end ? i : -1;
}

// ---------------------------------------------------------------------------
// Cell grid

CellGrid::CellGrid() : cells_(new Cell[static_cast<size_t>(kRows) * kCols]) {}

// ---------------------------------------------------------------------------

int32_t ParseLeadingInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    constexpr int64_t kSaturated = static_cast<int64_t>(INT32_MAX) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), kSaturated);
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

namespace {

// ---------------------------------------------------------------------------
// Byte classification, 64 bytes to a word.
//
// GBK has no self-synchronising form, but it has one anchor: the byte after
// a byte <= 0x7F always starts a character (that byte is either a character
// of its own or the second byte of a pair). So inside each run of bytes
// above 0x7F the characters alternate lead, trail, lead ... from the run's
// first byte, and a run of odd length makes the byte after it a trail,
// whatever its value. Bit arithmetic over 64-bit masks gives every lead of a
// block at once; that keeps the per-byte branch out of the split.

constexpr uint64_t kEvenBits = 0x5555555555555555ULL;
constexpr uint64_t kOddBits = ~kEvenBits;

struct BlockMasks {
    uint64_t high;  // bytes above 0x7F
    uint64_t lf;    // bytes equal to LF
};

inline BlockMasks ClassifyBlock(const unsigned char* p) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    uint64_t high = 0;
    uint64_t lfs = 0;
    for (int k = 0; k < 4; ++k) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        high |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v))) << (16 * k);
        lfs |=
            static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))))
            << (16 * k);
    }
    return {high, lfs};
#else
    uint64_t high = 0;
    uint64_t lfs = 0;
    for (int k = 0; k < 64; ++k) {
        high |= static_cast<uint64_t>(p[k] >> 7) << k;
        lfs |= static_cast<uint64_t>(p[k] == '\n') << k;
    }
    return {high, lfs};
#endif
}

// Leads of a block from its high-byte mask; `carry` is 1 when the block's
// first byte is the trail of a lead that ended the previous block, and is
// updated for the next block.
inline uint64_t LeadMask(uint64_t high, uint64_t& carry) {
    const uint64_t h = high & ~carry;  // a trail byte never starts a run
    const uint64_t starts = h & ~(h << 1);
    // Adding a run's start bit clears the whole run (the carry stops at the
    // zero after it), which picks out the runs that start on even bits.
    const uint64_t evenRuns = h & ~(h + (starts & kEvenBits));
    const uint64_t oddRuns = h & ~evenRuns;
    const uint64_t leads = (evenRuns & kEvenBits) | (oddRuns & kOddBits);
    carry = leads >> 63;
    return leads;
}

// Streams lead and real-LF masks over the text in windows of two chunks, so
// that the line cutter can look up to 502 bytes ahead of a line start
// without the masks of the whole book in memory.
class MaskStream final {
public:
    static constexpr size_t kChunkWords = 512;  // 32 KiB of text
    static constexpr size_t kChunkBytes = kChunkWords * 64;

    // The window reaches this far past the start of the chunk it is in.
    static constexpr size_t kWindowBytes = 2 * kChunkBytes;

    explicit MaskStream(const char* text) : text_(reinterpret_cast<const unsigned char*>(text)) {}

    // How many bytes of the text there are to classify: while the text is
    // still arriving, only whole chunks of final bytes are ever classified,
    // so a window must not reach past `end` until it is the text's end.
    void SetEnd(size_t end) { end_ = end; }

    // Makes sure `pos` lies in the first chunk of the window.
    void Advance(size_t pos) {
        if (!primed_) {
            Fill(0);
            Fill(kChunkWords);
            primed_ = true;
        }
        while (pos >= base_ + kChunkBytes) {
            std::memcpy(lead_, lead_ + kChunkWords, sizeof(uint64_t) * kChunkWords);
            std::memcpy(lf_, lf_ + kChunkWords, sizeof(uint64_t) * kChunkWords);
            base_ += kChunkBytes;
            Fill(kChunkWords);
        }
    }

    bool IsLead(size_t pos) const {
        const size_t r = pos - base_;
        return (lead_[r >> 6] >> (r & 63)) & 1;
    }

    // First real LF (not the trail of a pair) in [from, limit), or `limit`.
    // `limit - from` is at most one chunk.
    size_t FindLf(size_t from, size_t limit) const {
        size_t r = from - base_;
        const size_t rl = limit - base_;
        size_t w = r >> 6;
        uint64_t bits = lf_[w] & (~0ULL << (r & 63));
        while (true) {
            if (bits) {
                const size_t hit = (w << 6) + static_cast<size_t>(__builtin_ctzll(bits));
                return hit < rl ? hit + base_ : limit;
            }
            ++w;
            if ((w << 6) >= rl) return limit;
            bits = lf_[w];
        }
    }

private:
    // Classifies the chunk that follows the previous one into slot `at`.
    void Fill(size_t at) {
        const size_t n = end_;
        const unsigned char* data = text_;
        size_t pos = next_;
        for (size_t w = 0; w < kChunkWords; ++w, pos += 64) {
            BlockMasks m{0, 0};
            if (pos + 64 <= n) {
                m = ClassifyBlock(data + pos);
            } else if (pos < n) {
                unsigned char tail[64] = {};
                std::memcpy(tail, data + pos, n - pos);
                m = ClassifyBlock(tail);
            }
            const uint64_t prevCarry = carry_;
            const uint64_t leads = LeadMask(m.high, carry_);
            const uint64_t trails = (leads << 1) | prevCarry;
            lead_[at + w] = leads;
            lf_[at + w] = m.lf & ~trails;
        }
        next_ = pos;
    }

    const unsigned char* text_;
    size_t end_ = 0;
    bool primed_ = false;
    size_t base_ = 0;  // text offset of the window's first bit
    size_t next_ = 0;  // text offset of the next chunk to classify
    uint64_t carry_ = 0;
    uint64_t lead_[2 * kChunkWords];
    uint64_t lf_[2 * kChunkWords];
};

const std::string& StatusFormat() {
    static const std::string format =
        Gbk("(PageUp或←:上一页) (PageDown或→:下一页)本文共: %d页 %d行 %d字节, 每页显示: %d行 "
            "%d列, 当前第: %d页 %d行 %d字符");
    return format;
}

// While the line table is still being cut the totals are not known yet.
const std::string& PartialStatusFormat() {
    static const std::string format =
        Gbk("(PageUp或←:上一页) (PageDown或→:下一页)本文共: …页 …行 %d字节, 每页显示: %d行 "
            "%d列, 当前第: %d页 %d行 %d字符");
    return format;
}

int SaneSpacing(int value) { return (value <= 0 || value > 100) ? 14 : value; }

}  // namespace

// ---------------------------------------------------------------------------
// Paging model

PagingModel::PagingModel()
    : book_(std::make_shared<const BookText>()), grid_(std::make_unique<CellGrid>()) {}

PagingModel::~PagingModel() = default;
PagingModel::PagingModel(PagingModel&&) noexcept = default;
PagingModel& PagingModel::operator=(PagingModel&&) noexcept = default;

void PagingModel::SetText(std::string bytes) {
    SetText(std::make_shared<const BookText>(std::move(bytes)));
}

void PagingModel::SetText(std::shared_ptr<const BookText> book) {
    // The splitter reads the old text: it goes first.
    splitter_.reset();
    book_ = std::move(book);
    lines_.Release();
    splitCols_ = 0;
    rows_ = 0;
    cols_ = 0;
    topLine_ = 0;
    topOffset_ = 0;
    anchorOffset_ = 0;
    firstLineStart_ = -1;
    firstLineEnd_ = 0;
    pageNumberText_ = "0";
}

void PagingModel::SetSpacing(int charSpacing, int lineSpacing) {
    charSpacing_ = SaneSpacing(charSpacing);
    lineSpacing_ = SaneSpacing(lineSpacing);
}

bool PagingModel::UpdateGeometry(int width, int height) {
    const int64_t areaWidth = static_cast<int64_t>(width) - kMarginRight - kMarginLeft;
    const int64_t areaHeight = static_cast<int64_t>(height) - kMarginBottom - kMarginTop;
    const int64_t colPitch = charSpacing_ + kCellGap;
    const int64_t rowPitch = lineSpacing_ + kLineGap;
    const int64_t newCols =
        std::min<int64_t>((areaWidth - charSpacing_ - kCellGap) / colPitch, kMaxCols);
    const int64_t newRows = std::min<int64_t>(areaHeight / rowPitch, kMaxRows);
    if (newCols == cols_ && newRows == rows_) return false;
    if (newCols < 5 || newRows < 2) return false;
    cols_ = static_cast<int>(newCols);
    rows_ = static_cast<int>(newRows);
    dirtyRows_ = std::max(dirtyRows_, rows_);
    dirtyCols_ = std::max(dirtyCols_, cols_ + 1);
    if (cols_ == splitCols_) {
        // The lines depend on the column count only; a change of rows
        // alone needs no pass over the whole book.
        LayoutPage();
    } else {
        SplitLines();
    }
    return true;
}

// Up to this size a book's line table is completed as soon as it is split.
constexpr size_t kWholeSplitBytes = 4u << 20;

struct PagingModel::Splitter {
    explicit Splitter(const char* text) : masks(text) {}
    MaskStream masks;
    size_t next = 0;  // start of the next line to cut
};

void PagingModel::SplitLines() {
    lines_.Clear();
    splitter_.reset();
    if (cols_ <= 0) {
        splitCols_ = 0;
        return;
    }
    splitter_ = std::make_unique<Splitter>(book_->data());
    splitCols_ = cols_;
    if (book_->complete() && book_->size() <= kWholeSplitBytes) {
        // A book of ordinary size is cut whole at once, in milliseconds.
        FinishSplit();
    } else {
        // The page that keeps the byte at the top must exist before
        // anything looks it up.
        EnsureOffset(topOffset_);
    }
    LayoutPage();
}

bool PagingModel::ContinueSplit(size_t maxBytes) {
    if (!splitter_) return true;
    const size_t cols = static_cast<size_t>(splitCols_);
    MaskStream& masks = splitter_->masks;
    size_t a = splitter_->next;
    // Wait for the bytes this slice cuts, and for the masks' window beyond
    // them; a text that ends sooner is complete before that.
    const size_t room = book_->size() - std::min(book_->size(), a);
    const size_t want = a + std::min(maxBytes, room) + MaskStream::kWindowBytes + cols + 1;
    book_->WaitFor(want);
    const bool complete = book_->complete();  // before ready(): then ready() is final
    const size_t n = book_->ready();
    masks.SetEnd(n);
    size_t stop = maxBytes >= n - std::min(n, a) ? n : a + maxBytes;
    if (!complete) {
        // Only from line starts whose chunk and the next one are final.
        const size_t safe = n < MaskStream::kWindowBytes
                                ? 0
                                : (n - MaskStream::kWindowBytes) / MaskStream::kChunkBytes *
                                          MaskStream::kChunkBytes +
                                      MaskStream::kChunkBytes;
        stop = std::min(stop, safe);
    }
    while (a < stop) {
        masks.Advance(a);
        const size_t limit = std::min(a + cols, n);
        const size_t lf = masks.FindLf(a, limit);
        if (lf < limit) {
            // The LF belongs to no line; LF right after LF makes none.
            if (lf > a) lines_.Append(static_cast<int32_t>(a), static_cast<int32_t>(lf));
            a = lf + 1;
            continue;
        }
        if (a + cols > n) {
            // Fewer than `cols` bytes left (only at the end of a complete
            // text): one last line, one past the text when it ends with a
            // lone lead byte.
            const size_t end = n + (masks.IsLead(n - 1) ? 1 : 0);
            lines_.Append(static_cast<int32_t>(a), static_cast<int32_t>(end));
            a = n;
            break;
        }
        // Cut after `cols` bytes, or one later when a two-byte character
        // starts in the last column: a pair is never split.
        const size_t cut = a + cols + (masks.IsLead(a + cols - 1) ? 1 : 0);
        lines_.Append(static_cast<int32_t>(a), static_cast<int32_t>(cut));
        a = cut;
    }
    splitter_->next = a;
    if (!complete || a < n) return false;
    splitter_.reset();
    return true;
}

// Cutting far ahead goes in slices of this size, so that the lines of a book
// still arriving are cut while the rest of it is being read, not after.
constexpr size_t kCatchUpSliceBytes = 8u << 20;

void PagingModel::FinishSplit() {
    while (!ContinueSplit(kCatchUpSliceBytes)) {
    }
}

void PagingModel::EnsureLines(int64_t count) {
    // Whole pages' worth at a time keeps the calls few without cutting far
    // beyond what was asked for.
    const size_t step = static_cast<size_t>(std::max(cols_, 1)) * static_cast<size_t>(std::max(rows_, 1)) * 4;
    while (splitter_ && lines_.size() <= count) ContinueSplit(step);
}

void PagingModel::EnsureOffset(int64_t offset) {
    if (!splitter_ || offset < 0) return;
    const auto target = static_cast<size_t>(offset);
    while (splitter_ && splitter_->next <= target)
        ContinueSplit(std::min(target - splitter_->next + 1, kCatchUpSliceBytes));
    // The page holding it must be complete as well.
    if (splitter_) {
        const int32_t index = lines_.FindContaining(offset);
        EnsureLines(static_cast<int64_t>(index < 0 ? lines_.size() : index) + rows_);
    }
}

int32_t PagingModel::totalPages() const {
    if (rows_ <= 0) return 0;
    return static_cast<int32_t>((static_cast<int64_t>(lines_.size()) + rows_ - 1) / rows_);
}

std::string_view PagingModel::LineBytes(int32_t index) const {
    const DisplayLine& line = lines_[index];
    // Lines are cut from final bytes only; the last one may end one past
    // the text.
    const size_t n = book_->ready();
    const size_t start = std::min<size_t>(static_cast<size_t>(line.start), n);
    const size_t end = std::min<size_t>(static_cast<size_t>(line.end), n);
    return std::string_view(book_->data() + start, end - start);
}

bool PagingModel::LayoutPage() {
    if (rows_ <= 0) return false;
    EnsureLines(static_cast<int64_t>(topLine_) + rows_);
    const int32_t lineCount = lines_.size();
    if (lineCount == 0) return false;

    const int32_t pages = totalPages();
    int64_t page = 0;
    if (topLine_ % rows_ != 0 && topLine_ > 0 && topLine_ < lineCount) {
        // A top line kept over a re-split (or moved line by line) stays where
        // it is; the page number is that of the page it falls in.
        page = topLine_ / rows_;
    } else {
        page = (static_cast<int64_t>(topLine_) + rows_ - 1) / rows_;
        if (page > pages - 1) page = pages - 1;
        if (page < 0) page = 0;
        topLine_ = static_cast<int32_t>(page * rows_);
    }

    spokenFrom = 0;
    spokenTo = 0;

    for (int r = 0; r < rows_; ++r) {
        const int64_t k = static_cast<int64_t>(topLine_) + r;
        if (k < lineCount) {
            // assign() reuses each row string's capacity, so page turns stop
            // allocating once the rows have held a full line.
            pageLines_[static_cast<size_t>(r)].assign(LineBytes(static_cast<int32_t>(k)));
            if (r == 0) {
                firstLineStart_ = lines_[static_cast<int32_t>(k)].start;
                firstLineEnd_ = lines_[static_cast<int32_t>(k)].end;
            }
        } else {
            pageLines_[static_cast<size_t>(r)].clear();
        }
    }
    topOffset_ = lines_[topLine_].start;
    anchorOffset_ = topOffset_;

    FormatStatus(page);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(page + 1));
    pageNumberText_.assign(buffer);

    ClearCells();
    BuildCells();
    return true;
}

void PagingModel::FormatStatus(int64_t page) {
    char buffer[512];
    if (splitter_) {
        std::snprintf(buffer, sizeof buffer, PartialStatusFormat().c_str(), textLength(), rows_,
                      cols_, static_cast<int>(page + 1), topLine_ + 1, topOffset_);
    } else {
        std::snprintf(buffer, sizeof buffer, StatusFormat().c_str(), totalPages(), lines_.size(),
                      textLength(), rows_, cols_, static_cast<int>(page + 1), topLine_ + 1,
                      topOffset_);
    }
    statusText_.assign(buffer);
}

void PagingModel::RefreshStatus() {
    if (lines_.empty() || rows_ <= 0) return;
    FormatStatus(topLine_ / rows_);
}

void PagingModel::BuildCells() {
    const int pitch = charSpacing_ + kCellGap;
    int rowTop = kMarginTop;
    for (int r = 0; r < rows_; ++r) {
        const int rowBottom = rowTop + lineSpacing_;
        const std::string& line = pageLines_[static_cast<size_t>(r)];
        const size_t length = line.size();
        Cell* cells = grid_->Row(r);
        int x = kMarginLeft;
        int n = 0;
        auto place = [&](uint8_t byte, uint8_t kind) {
            Cell& c = cells[n++];
            c.rect = {x, rowTop, x + pitch, rowBottom};
            c.byte = byte;
            c.kind = kind;
            x += pitch;
        };
        for (size_t k = 0; k < length && k < static_cast<size_t>(cols_); ++k) {
            const auto b = static_cast<uint8_t>(line[k]);
            if (b == '\t' || b == '\n' || b == '\r') {
                place(b, kCellControl);
            } else if (b <= 0x7F) {
                place(b, kCellSingle);
            } else if (k + 1 < length) {
                place(b, kCellLead);
                place(static_cast<uint8_t>(line[++k]), kCellTrail);
            } else {
                // A lead byte that ends the book has no partner to pair
                // with; it stands alone rather than pairing with a byte
                // past the text.
                place(b, kCellSingle);
            }
        }
        rowTop = rowBottom + kLineGap;
    }
}

void PagingModel::ClearCells() {
    for (int r = 0; r < dirtyRows_; ++r) {
        Cell* cells = grid_->Row(r);
        for (int c = 0; c < dirtyCols_; ++c) {
            cells[c].byte = 0x20;
            cells[c].kind = kCellEmpty;
            cells[c].selected = 0;
            cells[c].spoken = 0;
        }
    }
    // Until the next clear, layouts and selections stay inside the current
    // geometry (rows, and columns 0 to cols inclusive).
    dirtyRows_ = rows_;
    dirtyCols_ = rows_ > 0 ? cols_ + 1 : 0;
}

void PagingModel::SetTopLine(int64_t line) {
    EnsureLines(line + rows_);
    // The layout clamps to the last page anyway; clamping here first keeps
    // huge page numbers from overflowing the 32-bit line index.
    topLine_ = static_cast<int32_t>(std::clamp<int64_t>(line, 0, lines_.size()));
}

void PagingModel::Relayout(int width, int height) {
    // The byte the reader turned to, not the start of the line that holds
    // it now: re-wrapping a paragraph moves line starts, and following them
    // would creep back a line at every toggle between two sizes.
    const int32_t keep = anchorOffset_;
    UpdateGeometry(width, height);
    ShowOffsetAtTop(keep);
}

bool PagingModel::ShowOffsetAtTop(int64_t offset) {
    if (rows_ <= 0) return false;
    // A book still being split in the background is cut up to the offset
    // first, so a remembered place far into it is found, not taken as lost.
    EnsureOffset(offset);
    if (lines_.empty()) return false;
    int32_t index = lines_.FindContaining(offset);
    // An LF belongs to no line; the line it ends stands for it.
    if (index < 0 && offset < textLength()) index = lines_.FindContainingInclusive(offset);
    SetTopLine(std::max(index, 0));
    LayoutPage();
    if (index >= 0) anchorOffset_ = static_cast<int32_t>(offset);
    return true;
}

void PagingModel::ScrollLines(int64_t delta) {
    if (lines_.empty() || rows_ <= 0) return;
    SetTopLine(std::clamp<int64_t>(static_cast<int64_t>(topLine_) + delta, 0, lines_.size() - 1));
    LayoutPage();
}

void PagingModel::NextPage() {
    // From a top line off the page grid, a step past the end would be
    // rounded back to the last page's start, which lies before what is
    // shown: the last lines stay where they are instead.
    if (topLine_ % std::max(rows_, 1) != 0 && static_cast<int64_t>(topLine_) + rows_ >= lines_.size()) {
        LayoutPage();
        return;
    }
    SetTopLine(static_cast<int64_t>(topLine_) + rows_);
    LayoutPage();
}

void PagingModel::PrevPage() {
    SetTopLine(static_cast<int64_t>(topLine_) - rows_);
    LayoutPage();
}

void PagingModel::FirstPage() {
    SetTopLine(0);
    LayoutPage();
}

void PagingModel::LastPage() {
    FinishSplit();
    SetTopLine(static_cast<int64_t>(rows_) * totalPages());
    LayoutPage();
}

void PagingModel::GoToPage(int64_t page) {
    SetTopLine(std::max<int64_t>(page - 1, 0) * rows_);
    LayoutPage();
}

void PagingModel::GoToOffset(int64_t offset) {
    EnsureOffset(offset);
    if (lines_.empty() || rows_ <= 0) return;
    int32_t index = lines_.FindContaining(offset);
    if (index < 0) index = 0;
    SetTopLine(static_cast<int64_t>(index / rows_) * rows_);
    LayoutPage();
}

bool PagingModel::GoToOffsetAndSelect(int64_t offset) {
    EnsureOffset(offset);
    if (lines_.empty() || rows_ <= 0) return false;
    const int32_t index = lines_.FindContainingInclusive(offset);
    if (index < 0) return false;
    SetTopLine(static_cast<int64_t>(index / rows_) * rows_);
    LayoutPage();
    Cell* cells = grid_->Row(index % rows_);
    for (int c = 0; c <= cols_; ++c) cells[c].selected = 1;
    return true;
}

PagingModel::Hit PagingModel::HitTest(int x, int y) const {
    for (int r = 0; r < rows_; ++r) {
        const Cell* cells = grid_->Row(r);
        for (int c = 0; c <= cols_; ++c) {
            const Cell& cell = cells[c];
            if (cell.kind > kCellEmpty && cell.rect.left <= x && x < cell.rect.right &&
                cell.rect.top <= y && y < cell.rect.bottom) {
                return {r, c};
            }
        }
    }
    return {};
}

size_t PagingModel::HeapBytes() const {
    size_t bytes =
        book_->CapacityBytes() + lines_.CapacityBytes() + CellGrid::SizeBytes() + sizeof(CellGrid);
    if (splitter_) bytes += sizeof(Splitter);
    for (const std::string& row : pageLines_) {
        // Strings longer than the small-string buffer live on the heap.
        if (row.capacity() > 15) bytes += row.capacity() + 1;
    }
    return bytes;
}

}  // namespace quillon
