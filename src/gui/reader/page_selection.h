#pragma once

#include <string>

#include "core/reader/paging_model.h"

namespace quillon {

// Selection over the cells of the page shown. Positions are (row, column)
// of the cell grid; a run is the cells from `first` to `last` inclusive in
// row-major order, where a full row continues in column 0 of the next.

struct CellPos {
    int row = -1;
    int col = -1;
};

struct CellRun {
    CellPos first;
    CellPos last;
};

enum class RunClass { Digits, Letters };

// Clears the selection flag of every cell of the page (including the extra
// cell a two-byte character in the last column spills into).
void ClearSelection(PagingModel& model);

// The run of single-byte cells of `cls` (digits and '.', or ASCII letters)
// around `at`, following the text across line wraps both ways.
CellRun FindRun(const PagingModel& model, CellPos at, RunClass cls);

// The bytes of a run, in order.
std::string RunText(const PagingModel& model, const CellRun& run);

void SelectRun(PagingModel& model, const CellRun& run);

// Every cell of `row`, columns 0 to cols inclusive.
void SelectRow(PagingModel& model, int row);

bool IsRunDigit(unsigned char b);
bool IsRunLetter(unsigned char b);

}  // namespace quillon
