#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/reader/paging_model.h"

namespace quillon {

// The cells of one shown page as the speech worker reads them: a copy, so
// the worker never touches the page's own grid while the page draws it.
class SpeechPage final {
public:
    SpeechPage() = default;
    // Copies rows x (cols + 1) cells of the model's grid.
    explicit SpeechPage(const PagingModel& model);
    SpeechPage(int rows, int cols, const std::vector<std::string>& rowBytes);

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    int width() const { return cols_ + 1; }  // a last-column character spills over
    uint8_t Byte(int row, int col) const { return bytes_[Index(row, col)]; }
    uint8_t Kind(int row, int col) const { return kinds_[Index(row, col)]; }

private:
    size_t Index(int row, int col) const { return static_cast<size_t>(row) * width() + col; }
    int rows_ = 0;
    int cols_ = 0;
    std::vector<uint8_t> bytes_;
    std::vector<uint8_t> kinds_;
};

struct SpeechPos {
    int row = 0;
    int col = 0;
    bool operator==(const SpeechPos&) const = default;
};

// One unit read aloud: cells first..last inclusive in row-major order
// (across line wraps) and their bytes.
struct SpeechUnit {
    SpeechPos first;
    SpeechPos last;
    std::string text;
    // The page cell of every byte of `text`, so that engine positions can be
    // mapped back onto the page.
    std::vector<SpeechPos> cells;
};

// The unit containing the cell at `at`: a run of digits and '.', or of
// ASCII letters, both ways across line wraps; a clause of two-byte
// characters forwards up to and including its full-width punctuation; or
// the single cell itself.
SpeechUnit FindSpeechUnit(const SpeechPage& page, SpeechPos at);

// Where reading goes on after `unit`: the cell after it, or column 0 of the
// next row when that is past the columns or only blanks remain on the row.
SpeechPos NextReadingPosition(const SpeechPage& page, const SpeechUnit& unit);

// The unit's text without spaces at either end.
std::string TrimmedUnitText(const SpeechUnit& unit);

}  // namespace quillon
