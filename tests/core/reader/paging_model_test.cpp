#include "core/reader/paging_model.h"

#include <unistd.h>
#include <cstdlib>
#include <future>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/text/gbk_literal.h"

// Counts heap allocations while a test asks for it, to hold page turns to
// allocating nothing once the row strings have grown.
namespace {
bool g_countAllocations = false;
int g_allocations = 0;
}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (g_countAllocations) ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace quillon {
namespace {

using Lines = std::vector<std::pair<int, int>>;

// The splitting rule walked byte by byte, as the reader has always cut
// lines; the fast split must agree with it on every input.
Lines ReferenceSplit(const std::string& text, int cols) {
    Lines out;
    const int n = static_cast<int>(text.size());
    int i = 0, a = 0, w = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[static_cast<size_t>(i)]);
        if (b == 0x0A) {
            if (i > a) out.push_back({a, i});
            i += 1;
            a = i;
            w = 0;
            continue;
        }
        if (b > 0x7F) {
            i += 2;
            w += 2;
        } else {
            i += 1;
            w += 1;
        }
        if (w >= cols) {
            out.push_back({a, i});
            a = i;
            w = 0;
        }
    }
    if (a != i) out.push_back({a, i});
    return out;
}

Lines LinesOf(const PagingModel& model) {
    Lines out;
    for (const DisplayLine& l : model.lineTable()) out.push_back({l.start, l.end});
    return out;
}

// Client sizes for a wanted geometry at the default spacing (16, 40):
// pitch 17 across, 41 down, margins 68 and 65, one pitch of slack.
int WidthFor(int cols) { return 68 + 17 + 17 * cols; }
int HeightFor(int rows) { return 65 + 41 * rows; }

void Open(PagingModel& model, const std::string& text, int cols, int rows) {
    model.SetText(text);
    model.UpdateGeometry(WidthFor(cols), HeightFor(rows));
}

// n lines of text, each "Lnnn" padded to `width` bytes, LF-terminated.
std::string NumberedLines(int n, int width = 8) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        std::string line = "L" + std::to_string(k + 1);
        line.resize(static_cast<size_t>(width), '.');
        text += line + "\n";
    }
    return text;
}

struct SplitCase {
    const char* name;
    std::string text;
    int cols;
    Lines lines;
};

TEST(PagingModelSplit, CasesOfTheSplittingRule) {
    const std::vector<SplitCase> cases = {
        {"LF LF drops the empty line", "ab\n\ncd", 5, {{0, 2}, {4, 6}}},
        {"CR of CR LF stays in its line", "ab\r\n\r\ncd", 5, {{0, 3}, {4, 5}, {6, 8}}},
        {"pair in the last column is kept whole", "abcd\xB0\xA1", 5, {{0, 6}}},
        {"pair in the last column then more",
         "abcd\xB0\xA1"
         "e",
         5,
         {{0, 6}, {6, 7}}},
        {"cut at exactly cols", "abcdefghij", 5, {{0, 5}, {5, 10}}},
        {"LF right after a cut makes no line", "abcde\nfg", 5, {{0, 5}, {6, 8}}},
        {"tab counts one column", "a\tbcdef", 5, {{0, 5}, {5, 7}}},
        {"lone lead at the end ends past the text", "abc\xB0", 5, {{0, 5}}},
        {"lone lead alone", "\xB0", 5, {{0, 2}}},
        {"trail byte equal to LF is consumed", "\xB0\nab", 5, {{0, 4}}},
        {"ASCII-looking trail belongs to its lead", "\xB0\x41\xB1\xB2\x42", 5, {{0, 5}}},
        {"empty text", "", 5, {}},
        {"only LF", "\n\n\n\n", 5, {}},
    };
    for (const SplitCase& c : cases) {
        PagingModel model;
        Open(model, c.text, c.cols, 4);
        ASSERT_EQ(model.cols(), c.cols) << c.name;
        EXPECT_EQ(LinesOf(model), c.lines) << c.name;
        EXPECT_EQ(ReferenceSplit(c.text, c.cols), c.lines) << c.name << " (reference)";
    }
}

// Random texts rich in pairs, ASCII-looking trails, LF and CR, long enough
// to cross the split's internal block and chunk edges, at random widths.
TEST(PagingModelSplit, AgreesWithTheByteRuleOnRandomTexts) {
    std::mt19937 rng(12345);
    const unsigned char alphabet[] = {'a',  'Z',  '@',  ' ',  '\t', '\r', '\n', 0x41,
                                      0x7E, 0x80, 0xB0, 0xA1, 0xFE, 0xFF, 0xD6, 0x0A};
    for (int round = 0; round < 40; ++round) {
        const size_t length = round < 30 ? rng() % 3000 : 70000 + rng() % 40000;
        std::string text(length, ' ');
        const int highRun = static_cast<int>(rng() % 3);  // vary the share of pairs
        for (char& ch : text) {
            unsigned r = rng() % (16 + highRun * 8);
            ch = static_cast<char>(r < 16 ? alphabet[r] : 0xC0 + (r % 32));
        }
        const int cols = 5 + static_cast<int>(rng() % 496);
        PagingModel model;
        Open(model, text, cols, 3);
        ASSERT_EQ(model.cols(), cols);
        ASSERT_EQ(LinesOf(model), ReferenceSplit(text, cols))
            << "round " << round << " cols " << cols;
    }
}

TEST(PagingModel, SetTextResetsAndStopsAtTheFirstZeroByte) {
    PagingModel model;
    Open(model, NumberedLines(50), 20, 10);
    model.NextPage();
    ASSERT_EQ(model.pageNumberText(), "2");

    model.SetText(std::string("ab\0cd", 5));
    EXPECT_EQ(model.textLength(), 2);
    EXPECT_EQ(model.lineCount(), 0);
    EXPECT_EQ(model.rows(), 0);
    EXPECT_EQ(model.cols(), 0);
    EXPECT_EQ(model.topLine(), 0);
    EXPECT_EQ(model.firstLineStart(), -1);
    EXPECT_EQ(model.pageNumberText(), "0");
    // A bookmark taken now stores -1, which lies in no line: first page.
    model.UpdateGeometry(WidthFor(20), HeightFor(10));
    model.GoToOffset(-1);
    EXPECT_EQ(model.topLine(), 0);
    EXPECT_EQ(model.pageLine(0), "ab");
}

TEST(PagingModel, TextWithoutLinesLeavesThePageUntouched) {
    for (const std::string& text : {std::string(), std::string("\n\n\n")}) {
        PagingModel model;
        Open(model, text, 10, 5);
        EXPECT_EQ(model.lineCount(), 0);
        EXPECT_FALSE(model.LayoutPage());
        model.NextPage();
        model.LastPage();
        model.GoToPage(7);
        model.GoToOffset(3);
        EXPECT_FALSE(model.GoToOffsetAndSelect(0));
        EXPECT_EQ(model.topLine(), 0);
        EXPECT_TRUE(model.statusText().empty());
        EXPECT_EQ(model.pageNumberText(), "0");
        EXPECT_EQ(model.HitTest(60, 50).row, -1);
    }
}

TEST(PagingModel, GeometryAndItsLimits) {
    PagingModel model;
    model.SetText(NumberedLines(10));
    // Narrower than the margins plus six pitches: no geometry at all.
    EXPECT_FALSE(model.UpdateGeometry(WidthFor(5) - 1, HeightFor(5)));
    EXPECT_EQ(model.cols(), 0);
    EXPECT_TRUE(model.UpdateGeometry(WidthFor(5), HeightFor(5)));
    EXPECT_EQ(model.cols(), 5);
    EXPECT_EQ(model.rows(), 5);
    const Lines before = LinesOf(model);
    // Too small keeps the split and the page; so does an unchanged size.
    EXPECT_FALSE(model.UpdateGeometry(WidthFor(4), HeightFor(8)));
    EXPECT_FALSE(model.UpdateGeometry(WidthFor(9), HeightFor(1)));
    EXPECT_FALSE(model.UpdateGeometry(WidthFor(5), HeightFor(5)));
    EXPECT_EQ(model.cols(), 5);
    EXPECT_EQ(model.rows(), 5);
    EXPECT_EQ(LinesOf(model), before);

    // Tiny spacing on a huge screen is capped at the grid's size.
    model.SetSpacing(1, 1);
    model.UpdateGeometry(20000, 20000);
    EXPECT_EQ(model.cols(), 500);
    EXPECT_EQ(model.rows(), 500);

    // Spacing no settings dialog would store falls back to 14.
    model.SetSpacing(0, -7);
    EXPECT_EQ(model.charSpacing(), 14);
    EXPECT_EQ(model.lineSpacing(), 14);
    model.SetSpacing(101, 100);
    EXPECT_EQ(model.charSpacing(), 14);
    EXPECT_EQ(model.lineSpacing(), 100);
}

TEST(PagingModel, NavigationIsClampedToTheBook) {
    PagingModel model;
    Open(model, NumberedLines(95), 20, 20);
    ASSERT_EQ(model.lineCount(), 95);
    EXPECT_EQ(model.totalPages(), 5);

    model.PrevPage();
    EXPECT_EQ(model.topLine(), 0);
    model.LastPage();
    EXPECT_EQ(model.topLine(), 80);
    EXPECT_EQ(model.pageNumberText(), "5");
    EXPECT_EQ(model.pageLine(14).substr(0, 4), "L95.");
    EXPECT_EQ(model.pageLine(15), "");
    model.NextPage();
    EXPECT_EQ(model.topLine(), 80);
    model.PrevPage();
    EXPECT_EQ(model.topLine(), 60);
    model.FirstPage();
    EXPECT_EQ(model.topLine(), 0);

    model.GoToPage(3);
    EXPECT_EQ(model.topLine(), 40);
    model.GoToPage(0);
    EXPECT_EQ(model.topLine(), 0);
    model.GoToPage(-5);
    EXPECT_EQ(model.topLine(), 0);
    model.GoToPage(ParseLeadingInt("99999999999"));
    EXPECT_EQ(model.topLine(), 80);
    model.GoToPage(int64_t{1} << 40);
    EXPECT_EQ(model.topLine(), 80);
    model.GoToPage(ParseLeadingInt("two"));
    EXPECT_EQ(model.topLine(), 0);
}

TEST(PagingModel, ParseLeadingIntReadsLikeAPageField) {
    EXPECT_EQ(ParseLeadingInt("12abc"), 12);
    EXPECT_EQ(ParseLeadingInt("  -5"), -5);
    EXPECT_EQ(ParseLeadingInt("abc"), 0);
    EXPECT_EQ(ParseLeadingInt(""), 0);
    EXPECT_EQ(ParseLeadingInt("2147483647"), 2147483647);
    EXPECT_EQ(ParseLeadingInt("123456789012345678901234567890"), 2147483647);
    EXPECT_EQ(ParseLeadingInt("-99999999999"), -2147483647 - 1);
}

TEST(PagingModel, ResizeKeepsTheByteThatWasAtTheTopOnTheFirstRow) {
    PagingModel model;
    Open(model, NumberedLines(100), 20, 20);
    model.GoToPage(3);  // line 41 at the top
    ASSERT_EQ(model.topLine(), 40);

    // 30 rows: line 41 stays the top line; page 2 of 30-row pages.
    model.Relayout(WidthFor(20), HeightFor(30));
    EXPECT_EQ(model.rows(), 30);
    EXPECT_EQ(model.topLine(), 40);
    EXPECT_EQ(model.pageNumberText(), "2");
    // Turning on from there keeps the same step; the last page is not
    // rounded back before what is shown.
    model.NextPage();
    EXPECT_EQ(model.topLine(), 70);
    model.NextPage();
    EXPECT_EQ(model.topLine(), 70);
    model.PrevPage();
    model.PrevPage();
    model.PrevPage();
    EXPECT_EQ(model.topLine(), 0);

    // Too small and back again: the same byte is on the first row.
    model.GoToPage(2);
    const int32_t top = model.topOffset();
    model.Relayout(WidthFor(3), HeightFor(1));
    EXPECT_EQ(model.topOffset(), top);
    model.Relayout(WidthFor(5), HeightFor(7));
    ASSERT_EQ(model.cols(), 5);
    EXPECT_EQ(model.topLine(), model.lineTable().FindContaining(top));
}

TEST(PagingModel, TogglingBetweenTwoSizesNeverDrifts) {
    // Long paragraphs wrap differently at the two widths, so line starts
    // move; a reader deep in the book must not creep back at each toggle.
    std::string text;
    for (int k = 0; k < 3000; ++k) text += std::string(37 + k % 23, 'a' + k % 26) + "\n";
    PagingModel model;
    Open(model, text, 20, 20);
    for (int k = 0; k < 500; ++k) model.NextPage();
    model.ScrollLines(7);
    const int32_t byte = model.anchorOffset();
    ASSERT_EQ(byte, model.topOffset());
    for (int k = 0; k < 10; ++k) {
        model.Relayout(WidthFor(k % 2 ? 20 : 31), HeightFor(k % 2 ? 20 : 33));
        const DisplayLine& first = model.lineTable()[model.topLine()];
        EXPECT_LE(first.start, byte) << k;
        EXPECT_GT(first.end, byte) << k;
        EXPECT_EQ(model.anchorOffset(), byte) << k;
    }
    EXPECT_EQ(model.topOffset(), byte);  // back at the first size
}

TEST(PagingModel, ShowOffsetAtTopAndScrollLines) {
    PagingModel model;
    EXPECT_FALSE(model.ShowOffsetAtTop(10));  // nothing laid out yet
    Open(model, NumberedLines(100), 20, 20);
    ASSERT_TRUE(model.ShowOffsetAtTop(9 * 57 + 3));  // inside line 58
    EXPECT_EQ(model.topLine(), 57);
    EXPECT_EQ(model.anchorOffset(), 9 * 57 + 3);
    EXPECT_EQ(model.pageNumberText(), "3");
    model.ScrollLines(-1);
    EXPECT_EQ(model.topLine(), 56);
    model.ScrollLines(1000);
    EXPECT_EQ(model.topLine(), 99);
    model.ScrollLines(-1000);
    EXPECT_EQ(model.topLine(), 0);
    // Past the end of a book edited since: the first page.
    model.NextPage();
    ASSERT_TRUE(model.ShowOffsetAtTop(1 << 30));
    EXPECT_EQ(model.topLine(), 0);
}

TEST(PagingModel, StatusTextBytes) {
    // 55 lines, 2,000 bytes: 21 lines of 36 bytes and 34 of 35, LF between.
    std::string text;
    for (int k = 0; k < 55; ++k) {
        text += std::string(k < 21 ? 36 : 35, 'x');
        if (k < 54) text += '\n';
    }
    ASSERT_EQ(text.size(), 2000u);
    PagingModel model;
    Open(model, text, 100, 20);
    model.NextPage();
    EXPECT_EQ(model.statusText(),
              Gbk("(PageUp或←:上一页) (PageDown或→:下一页)本文共: 3页 55行 2000字节, 每页显示: "
                  "20行 100列, 当前第: 2页 21行 740字符"));
    // GBK arrows, not UTF-8 ones.
    EXPECT_NE(model.statusText().find("\xA1\xFB"), std::string::npos);
    EXPECT_EQ(model.pageNumberText(), "2");
    EXPECT_EQ(model.topOffset(), 740);
    EXPECT_EQ(model.firstLineStart(), 740);
    EXPECT_EQ(model.firstLineEnd(), 776);
}

TEST(PagingModel, GoToOffsetBoundaries) {
    // Six lines of five bytes, two rows per page; each line ends where the
    // next starts.
    PagingModel model;
    Open(model, std::string("abcdefghijklmnopqrstuvwxyz1234"), 5, 2);
    ASSERT_EQ(model.lineCount(), 6);

    model.GoToOffset(10);  // start of line 2: end exclusive
    EXPECT_EQ(model.topLine(), 2);
    model.GoToOffset(9);
    EXPECT_EQ(model.topLine(), 0);
    model.GoToOffset(999);  // in no line: first page
    EXPECT_EQ(model.topLine(), 0);

    model.GoToPage(3);
    // End inclusive, and the earlier line wins: offset 10 is line 1's end.
    EXPECT_TRUE(model.GoToOffsetAndSelect(10));
    EXPECT_EQ(model.topLine(), 0);
    for (int c = 0; c <= 5; ++c) {
        EXPECT_EQ(model.cellGrid().At(1, c).selected, 1) << c;
        EXPECT_EQ(model.cellGrid().At(0, c).selected, 0) << c;
    }
    EXPECT_TRUE(model.GoToOffsetAndSelect(30));  // the end of the text
    EXPECT_EQ(model.topLine(), 4);
    EXPECT_EQ(model.cellGrid().At(1, 0).selected, 1);

    model.GoToPage(2);
    EXPECT_FALSE(model.GoToOffsetAndSelect(31));
    EXPECT_EQ(model.topLine(), 2);
}

TEST(PagingModel, CellsKindsAndRectangles) {
    PagingModel model;
    Open(model,
         std::string("a\t\xB0\xA1"
                     "b\r\nxy"),
         10, 3);
    const CellGrid& grid = model.cellGrid();
    const uint8_t kinds[] = {kCellSingle, kCellControl, kCellLead, kCellTrail,
                             kCellSingle, kCellControl, kCellEmpty};
    const uint8_t bytes[] = {'a', '\t', 0xB0, 0xA1, 'b', '\r', 0x20};
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(grid.At(0, c).kind, kinds[c]) << c;
        EXPECT_EQ(grid.At(0, c).byte, bytes[c]) << c;
    }
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(grid.At(0, c).rect.left, 50 + 17 * c);
        EXPECT_EQ(grid.At(0, c).rect.right, 67 + 17 * c);
        EXPECT_EQ(grid.At(0, c).rect.top, 40);
        EXPECT_EQ(grid.At(0, c).rect.bottom, 80);
    }
    EXPECT_EQ(grid.At(1, 0).rect.top, 81);
    EXPECT_EQ(grid.At(1, 1).byte, 'y');
}

TEST(PagingModel, LoneLeadAtTheEndStaysInsideTheText) {
    PagingModel model;
    std::string text = "abc\xB0";
    Open(model, text, 5, 2);
    ASSERT_EQ(LinesOf(model), (Lines{{0, 5}}));
    EXPECT_EQ(model.pageLine(0), text);
    EXPECT_EQ(model.cellGrid().At(0, 3).byte, 0xB0);
    EXPECT_EQ(model.cellGrid().At(0, 3).kind, kCellSingle);
    EXPECT_EQ(model.cellGrid().At(0, 4).kind, kCellEmpty);
    model.GoToOffset(4);
    EXPECT_EQ(model.topLine(), 0);
}

TEST(PagingModel, PairInTheLastOfFiveHundredColumnsGetsItsTrailCell) {
    PagingModel model;
    model.SetSpacing(1, 1);
    model.SetText(std::string(499, 'a') +
                  "\xB0\xA1"
                  "b");
    model.UpdateGeometry(5000, 400);
    ASSERT_EQ(model.cols(), 500);
    ASSERT_EQ(model.lineTable()[0].end, 501);
    EXPECT_EQ(model.cellGrid().At(0, 499).kind, kCellLead);
    EXPECT_EQ(model.cellGrid().At(0, 500).kind, kCellTrail);
    EXPECT_EQ(model.cellGrid().At(0, 500).byte, 0xA1);
    EXPECT_EQ(model.cellGrid().At(1, 0).byte, 'b');
}

TEST(PagingModel, HitTestFindsOnlyLaidOutCells) {
    PagingModel model;
    // Page 1 has a long first row, page 2 a short one: the cells past the
    // short row keep stale rectangles but must not be hit.
    Open(model, std::string("abcdefghij\nx\n") + "k\nlm\n", 10, 2);
    EXPECT_EQ(model.HitTest(50, 40).col, 0);
    const PagingModel::Hit hit = model.HitTest(67 + 5, 79);
    EXPECT_EQ(hit.row, 0);
    EXPECT_EQ(hit.col, 1);
    EXPECT_EQ(model.HitTest(84, 60).col, 2);   // a right edge belongs to the next cell
    EXPECT_EQ(model.HitTest(55, 80).row, -1);  // the gap between rows
    EXPECT_EQ(model.HitTest(49, 50).row, -1);  // the left margin
    EXPECT_EQ(model.HitTest(55, 85).row, 1);

    model.NextPage();
    EXPECT_EQ(model.HitTest(55, 50).col, 0);
    EXPECT_EQ(model.HitTest(50 + 17 * 5, 50).row, -1);
    EXPECT_EQ(model.HitTest(50 + 17, 90).col, 1);
}

TEST(PagingModel, ClearCellsClearsSelectionsOfEveryGeometryUsed) {
    PagingModel model;
    Open(model, NumberedLines(40, 30), 30, 10);
    ASSERT_TRUE(model.GoToOffsetAndSelect(31 * 9));
    model.cellGrid().At(9, 30).spoken = 1;
    // Shrinking the page leaves the old row 9 outside the new geometry; the
    // layout must still clear it.
    model.Relayout(WidthFor(10), HeightFor(4));
    for (int c = 0; c <= 30; ++c) {
        EXPECT_EQ(model.cellGrid().At(9, c).selected, 0);
        EXPECT_EQ(model.cellGrid().At(9, c).kind, kCellEmpty);
    }
    EXPECT_EQ(model.cellGrid().At(9, 30).spoken, 0);
    model.ClearCells();
    EXPECT_EQ(model.cellGrid().At(0, 0).kind, kCellEmpty);
    EXPECT_EQ(model.cellGrid().At(0, 0).byte, 0x20);
}

TEST(PagingModel, PageTurnsAllocateNothingOnceWarm) {
    PagingModel model;
    Open(model, NumberedLines(400, 24), 40, 20);
    for (int k = 0; k < 25; ++k) model.NextPage();
    model.FirstPage();
    g_allocations = 0;
    g_countAllocations = true;
    for (int k = 0; k < 25; ++k) model.NextPage();
    model.GoToPage(3);
    model.LastPage();
    model.PrevPage();
    g_countAllocations = false;
    EXPECT_EQ(g_allocations, 0);
    EXPECT_GT(model.topLine(), 0);
}

TEST(PagingModel, HugeBookShowsItsFirstPageBeforeTheWholeSplit) {
    // Over the size that is split whole at once, with lines of every length
    // and pairs straddling the column limit.
    std::string text;
    const std::string pair = Gbk("你");
    for (int k = 0; text.size() < (5u << 20); ++k) {
        text.append(static_cast<size_t>(k % 97), 'a');
        for (int j = k % 13; j > 0; --j) text += pair;
        text += k % 5 ? "\r\n" : "\n\n";
    }
    const Lines reference = ReferenceSplit(text, 40);
    auto cutSoFar = [](const PagingModel& m) {
        Lines lines;
        for (const DisplayLine& l : m.lineTable()) lines.push_back({l.start, l.end});
        return lines;
    };
    auto isPrefix = [&](const Lines& part) {
        return part.size() <= reference.size() && std::equal(part.begin(), part.end(), reference.begin());
    };

    // Handed over whole, and arriving through a pipe while it is cut: the
    // first 200 KiB, then the rest once the first page has been checked.
    for (const bool arriving : {false, true}) {
        SCOPED_TRACE(arriving ? "arriving" : "whole");
        PagingModel model;
        std::promise<void> firstPageSeen;
        std::thread writer;
        if (arriving) {
            int pipeFds[2];
            ASSERT_EQ(::pipe(pipeFds), 0);
            model.SetText(std::shared_ptr<const BookText>(BookText::Load(pipeFds[0], text.size())));
            writer =
                std::thread([&text, fd = pipeFds[1], seen = firstPageSeen.get_future()]() mutable {
                    const size_t first = 200u << 10;
                    for (size_t at = 0; at < text.size();) {
                        if (at == first) seen.wait();
                        const ssize_t n =
                            ::write(fd, text.data() + at,
                                    std::min(text.size(), at < first ? first : text.size()) - at);
                        if (n <= 0) break;
                        at += static_cast<size_t>(n);
                    }
                    ::close(fd);
                });
            model.UpdateGeometry(WidthFor(40), HeightFor(20));
            EXPECT_FALSE(model.book()->complete());
        } else {
            Open(model, text, 40, 20);
        }
        EXPECT_FALSE(model.splitComplete());
        EXPECT_LT(model.lineCount(), static_cast<int32_t>(reference.size()) / 10);
        EXPECT_EQ(model.pageLine(0),
                  text.substr(static_cast<size_t>(reference[0].first),
                              static_cast<size_t>(reference[0].second - reference[0].first)));
        EXPECT_NE(model.statusText().find(Gbk("…页 …行")), std::string::npos);
        if (arriving) firstPageSeen.set_value();

        // Pages, offsets and find results past the lines cut so far cut as far
        // as they need, and agree with the whole split.
        model.GoToPage(2000);
        EXPECT_EQ(model.topLine(), 1999 * 20);
        EXPECT_TRUE(isPrefix(cutSoFar(model)));
        const int32_t far = reference[reference.size() / 2].first;
        ASSERT_TRUE(model.GoToOffsetAndSelect(far));
        EXPECT_EQ(model.topOffset(), reference[reference.size() / 2 / 20 * 20].first);
        EXPECT_FALSE(model.splitComplete());

        model.LastPage();
        EXPECT_TRUE(model.splitComplete());
        EXPECT_EQ(cutSoFar(model), reference);
        EXPECT_EQ(model.topLine(), static_cast<int32_t>((reference.size() - 1) / 20 * 20));
        EXPECT_EQ(model.statusText().find(Gbk("…")), std::string::npos);
        if (writer.joinable()) writer.join();
    }
}

}  // namespace
}  // namespace quillon
