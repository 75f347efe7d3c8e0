#include "core/aids/speech_units.h"

#include <algorithm>

#include "core/text/gbk_literal.h"

namespace quillon {

SpeechPage::SpeechPage(const PagingModel& model) : rows_(model.rows()), cols_(model.cols()) {
    rows_ = std::clamp(rows_, 0, CellGrid::kRows);
    cols_ = std::clamp(cols_, 0, CellGrid::kCols - 1);
    bytes_.resize(static_cast<size_t>(rows_) * width());
    kinds_.resize(bytes_.size());
    const CellGrid& grid = model.cellGrid();
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < width(); ++c) {
            bytes_[Index(r, c)] = grid.At(r, c).byte;
            kinds_[Index(r, c)] = grid.At(r, c).kind;
        }
}

SpeechPage::SpeechPage(int rows, int cols, const std::vector<std::string>& rowBytes)
    : rows_(rows), cols_(cols) {
    bytes_.assign(static_cast<size_t>(rows_) * width(), 0x20);
    kinds_.assign(bytes_.size(), kCellEmpty);
    for (int r = 0; r < rows_ && r < static_cast<int>(rowBytes.size()); ++r) {
        const std::string& line = rowBytes[static_cast<size_t>(r)];
        for (int k = 0; k < static_cast<int>(line.size()) && k < cols_; ++k) {
            const auto b = static_cast<uint8_t>(line[static_cast<size_t>(k)]);
            if (b > 0x7F && k + 1 < static_cast<int>(line.size())) {
                bytes_[Index(r, k)] = b;
                kinds_[Index(r, k)] = kCellLead;
                bytes_[Index(r, k + 1)] = static_cast<uint8_t>(line[static_cast<size_t>(k + 1)]);
                kinds_[Index(r, k + 1)] = kCellTrail;
                ++k;
            } else {
                bytes_[Index(r, k)] = b;
                kinds_[Index(r, k)] = (b == '\t' || b == '\r' || b == '\n') ? kCellControl
                                                                            : kCellSingle;
            }
        }
    }
}

namespace {

bool IsDigitByte(uint8_t b) { return (b >= '0' && b <= '9') || b == '.'; }
bool IsLetterByte(uint8_t b) { return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z'); }

// Single-byte runs follow the text from the last column of a row to column 0
// of the next and back.
bool StepForward(const SpeechPage& page, SpeechPos& p) {
    if (p.col + 1 < page.cols()) {
        ++p.col;
        return true;
    }
    if (p.row + 1 >= page.rows()) return false;
    ++p.row;
    p.col = 0;
    return true;
}

bool StepBack(const SpeechPage& page, SpeechPos& p) {
    if (p.col > 0) {
        --p.col;
        return true;
    }
    if (p.row == 0) return false;
    --p.row;
    p.col = page.cols() - 1;
    return true;
}

template <typename Pred>
SpeechUnit SingleByteRun(const SpeechPage& page, SpeechPos at, Pred inClass) {
    auto fits = [&](SpeechPos p) {
        return page.Kind(p.row, p.col) == kCellSingle && inClass(page.Byte(p.row, p.col));
    };
    SpeechPos first = at;
    for (SpeechPos p = at; StepBack(page, p) && fits(p);) first = p;
    SpeechPos last = at;
    for (SpeechPos p = at; StepForward(page, p) && fits(p);) last = p;
    SpeechUnit unit{first, last, {}, {}};
    for (SpeechPos p = first;;) {
        unit.text.push_back(static_cast<char>(page.Byte(p.row, p.col)));
        unit.cells.push_back(p);
        if (p == last || !StepForward(page, p)) break;
    }
    return unit;
}

bool IsClauseEnd(uint8_t lead, uint8_t trail) {
    static const std::string marks = Gbk("，、；：！？。");
    for (size_t i = 0; i + 1 < marks.size(); i += 2)
        if (static_cast<uint8_t>(marks[i]) == lead && static_cast<uint8_t>(marks[i + 1]) == trail)
            return true;
    return false;
}

SpeechUnit Clause(const SpeechPage& page, SpeechPos at) {
    if (page.Kind(at.row, at.col) == kCellTrail && at.col > 0) --at.col;
    SpeechUnit unit{at, at, {}, {}};
    SpeechPos p = at;
    while (p.row < page.rows() && page.Kind(p.row, p.col) == kCellLead &&
           p.col + 1 < page.width() && page.Kind(p.row, p.col + 1) == kCellTrail) {
        const uint8_t lead = page.Byte(p.row, p.col);
        const uint8_t trail = page.Byte(p.row, p.col + 1);
        unit.text.push_back(static_cast<char>(lead));
        unit.text.push_back(static_cast<char>(trail));
        unit.cells.push_back(p);
        unit.cells.push_back({p.row, p.col + 1});
        unit.last = {p.row, p.col + 1};
        if (IsClauseEnd(lead, trail)) break;
        // A character that ends a row continues the clause on the next one.
        p.col += 2;
        if (p.col >= page.cols()) {
            ++p.row;
            p.col = 0;
        }
    }
    if (unit.cells.empty()) {
        // A lone lead byte without its trail: read as the single cell.
        unit.text.push_back(static_cast<char>(page.Byte(at.row, at.col)));
        unit.cells.push_back(at);
    }
    return unit;
}

bool IsBlank(uint8_t b) { return b == '\t' || b == '\n' || b == '\r' || b == ' '; }

}  // namespace

SpeechUnit FindSpeechUnit(const SpeechPage& page, SpeechPos at) {
    const uint8_t kind = page.Kind(at.row, at.col);
    const uint8_t b = page.Byte(at.row, at.col);
    if (kind == kCellSingle && IsDigitByte(b)) return SingleByteRun(page, at, IsDigitByte);
    if (kind == kCellSingle && IsLetterByte(b)) return SingleByteRun(page, at, IsLetterByte);
    if (kind == kCellLead || kind == kCellTrail) return Clause(page, at);
    return SpeechUnit{at, at, std::string(1, static_cast<char>(b)), {at}};
}

SpeechPos NextReadingPosition(const SpeechPage& page, const SpeechUnit& unit) {
    SpeechPos next{unit.last.row, unit.last.col + 1};
    if (next.col >= page.cols()) return {next.row + 1, 0};
    for (int c = next.col; c < page.cols(); ++c)
        if (!IsBlank(page.Byte(next.row, c))) return next;
    return {next.row + 1, 0};
}

std::string TrimmedUnitText(const SpeechUnit& unit) {
    const size_t a = unit.text.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    const size_t b = unit.text.find_last_not_of(' ');
    return unit.text.substr(a, b - a + 1);
}

}  // namespace quillon
