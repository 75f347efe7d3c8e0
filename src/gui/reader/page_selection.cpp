#include "gui/reader/page_selection.h"

#include <algorithm>

namespace quillon {

namespace {

bool InClass(const Cell& cell, RunClass cls) {
    if (cell.kind != kCellSingle) return false;
    return cls == RunClass::Digits ? IsRunDigit(cell.byte) : IsRunLetter(cell.byte);
}

// The cell after `p` in reading order, passing from the last column of a
// row to the first of the next; false past the last row.
bool Forward(const PagingModel& model, CellPos& p) {
    if (p.col + 1 < model.cols()) {
        ++p.col;
        return true;
    }
    if (p.row + 1 >= model.rows()) return false;
    ++p.row;
    p.col = 0;
    return true;
}

bool Backward(const PagingModel& model, CellPos& p) {
    if (p.col > 0) {
        --p.col;
        return true;
    }
    if (p.row == 0) return false;
    --p.row;
    p.col = model.cols() - 1;
    return true;
}

}  // namespace

bool IsRunDigit(unsigned char b) { return (b >= '0' && b <= '9') || b == '.'; }
bool IsRunLetter(unsigned char b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }

void ClearSelection(PagingModel& model) {
    CellGrid& grid = model.cellGrid();
    const int cols = std::min(model.cols() + 1, CellGrid::kCols);
    for (int r = 0; r < model.rows(); ++r) {
        Cell* row = grid.Row(r);
        for (int c = 0; c < cols; ++c) row[c].selected = 0;
    }
}

CellRun FindRun(const PagingModel& model, CellPos at, RunClass cls) {
    const CellGrid& grid = model.cellGrid();
    CellRun run{at, at};
    CellPos p = at;
    while (Forward(model, p) && InClass(grid.At(p.row, p.col), cls)) run.last = p;
    p = at;
    while (Backward(model, p) && InClass(grid.At(p.row, p.col), cls)) run.first = p;
    return run;
}

std::string RunText(const PagingModel& model, const CellRun& run) {
    std::string out;
    CellPos p = run.first;
    for (;;) {
        out.push_back(static_cast<char>(model.cellGrid().At(p.row, p.col).byte));
        if ((p.row == run.last.row && p.col == run.last.col) || !Forward(model, p)) break;
    }
    return out;
}

void SelectRun(PagingModel& model, const CellRun& run) {
    CellPos p = run.first;
    for (;;) {
        model.cellGrid().At(p.row, p.col).selected = 1;
        if ((p.row == run.last.row && p.col == run.last.col) || !Forward(model, p)) break;
    }
}

void SelectRow(PagingModel& model, int row) {
    if (row < 0 || row >= model.rows()) return;
    Cell* cells = model.cellGrid().Row(row);
    const int cols = std::min(model.cols() + 1, CellGrid::kCols);
    for (int c = 0; c < cols; ++c) cells[c].selected = 1;
}

}  // namespace quillon
