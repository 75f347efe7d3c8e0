#include "core/library/book_text.h"

#include <fcntl.h>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"
#include "temp_home.h"

namespace quillon {
namespace {

using namespace std::string_literals;

struct TextCase {
    const char* what;
    std::string bytes;
    std::string gbk;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.what; }

class BookBytes : public ::testing::TestWithParam<TextCase> {};

TEST_P(BookBytes, BecomeGbk) { EXPECT_EQ(BookBytesToGbk(GetParam().bytes), GetParam().gbk) << GetParam().what; }

// 你好 in the encodings a book may come in.
const std::string kGbk = "\xC4\xE3\xBA\xC3";
const std::string kUtf8 = "\xE4\xBD\xA0\xE5\xA5\xBD";
const std::string kUtf16Le = "\x60\x4F\x7D\x59";
const std::string kUtf16Be = "\x4F\x60\x59\x7D";

INSTANTIATE_TEST_SUITE_P(
    Encodings, BookBytes,
    ::testing::Values(TextCase{"GBK is taken byte for byte", kGbk + "\r\nabc", kGbk + "\r\nabc"},
                      TextCase{"ASCII stays", "plain\r\n", "plain\r\n"},
                      TextCase{"GBK ends at its first NUL", kGbk + "\0rest"s, kGbk},
                      TextCase{"UTF-8 without a mark", kUtf8 + "\n", kGbk + "\n"},
                      TextCase{"UTF-8 with a mark", "\xEF\xBB\xBF" + kUtf8, kGbk},
                      TextCase{"UTF-8 mark before ASCII only", "\xEF\xBB\xBF" "abc", "abc"},
                      TextCase{"UTF-8 ends at its first NUL", kUtf8 + "\0"s + kUtf8, kGbk},
                      TextCase{"UTF-8 without a GBK form", "a\xF0\x9F\x98\x80" "b", "a?b"},
                      TextCase{"UTF-16 LE", "\xFF\xFE" + kUtf16Le + "\x0D\x00\x0A\x00"s, kGbk + "\r\n"},
                      TextCase{"UTF-16 BE", "\xFE\xFF" + kUtf16Be, kGbk},
                      TextCase{"UTF-16 emoji keeps the rest in step",
                               "\xFF\xFE" "a\0\x3D\xD8\x00\xDE" "b\0"s + kUtf16Le, "a?b" + kGbk},
                      TextCase{"UTF-16 NUL cut after conversion", "\xFF\xFE" "a\0\0\0b\0"s, "a"},
                      TextCase{"UTF-32 LE", "\xFF\xFE\0\0"s + "\x60\x4F\0\0"s, "\xC4\xE3"},
                      TextCase{"empty file", "", ""}));

// Same-length cleaning: each bad byte becomes one '?', the next character
// stays whole, and lone CRs break lines.
struct CleanCase {
    const char* what;
    std::string in;
    std::string out;
};

TEST(CleanGbkText, KeepsLengthAndDamageLocal) {
    const std::string ni = "\xC4\xE3";  // 你
    const std::string long_ = std::string(40, 'a') + ni + ni + ni + ni + ni + ni + ni + ni;
    const CleanCase cases[] = {
        {"0xFF and 0x80 start no character", "\xFF" + ni + "\x80" + ni, "?" + ni + "?" + ni},
        {"a lead before a line end", ni + "\xB0\r\n" + ni, ni + "?\r\n" + ni},
        {"a lead before a byte that is no trail", "\xB0" "1" + ni, "?1" + ni},
        {"a lead ending the text", ni + "\xB0", ni + "?"},
        {"a low trail is a trail", "\x81\x40" + ni, "\x81\x40" + ni},
        {"lone CRs break lines, CR LF stays", "a\rb\r\nc\r", "a\nb\r\nc\n"},
        {"ends at its first NUL", ni + "\0" "abc"s, ni},
        // Long enough for the sixteen-byte steps, with damage behind them.
        {"after whole blocks", long_ + "\xFF" + long_ + "\r" + long_, long_ + "?" + long_ + "\n" + long_},
    };
    for (const CleanCase& c : cases) {
        std::string text = c.in;
        CleanGbkText(text);
        EXPECT_EQ(text, c.out) << c.what;
    }
}

TEST(CleanGbkText, InPiecesAsWhole) {
    // Damage at and around every cut: a lead waiting for its trail, a CR
    // waiting for its LF, runs long enough for the sixteen-byte steps.
    const std::string ni = "\xC4\xE3";
    std::string text = "\xB0" + ni + "\r\n\r" + ni + "a\xFF\x80" + ni + ni + "\xB0\r\xB0";
    for (int k = 0; k < 3; ++k)
        text += std::string(17, 'b') + ni + ni + ni + ni + ni + ni + ni + ni + ni + "\r";
    std::string whole = text;
    CleanGbkText(whole);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        std::string pieces = text;
        size_t replaced = 0;
        const size_t next = CleanGbkPiece(pieces.data(), 0, cut, false, replaced);
        ASSERT_LE(next, cut);
        ASSERT_GE(next + 1, cut) << "at most one byte waits";
        CleanGbkPiece(pieces.data(), next, pieces.size(), true, replaced);
        EXPECT_EQ(pieces, whole) << "cut at " << cut;
    }
}

TEST(DetectBookEncoding, LooksAtTheSampleOnly) {
    // Bad bytes beyond the sample cannot tip a UTF-8 book over.
    std::string book;
    while (book.size() < kDetectSampleBytes) book += kUtf8 + "\r\n";
    EXPECT_EQ(DetectBookEncoding(book + std::string(kDetectSampleBytes, '\xFF')), BookEncoding::kUtf8);
    // A few bad bytes inside it do not either.
    book[100] = '\xFF';
    book[1000] = '\xFE';
    EXPECT_EQ(DetectBookEncoding(book), BookEncoding::kUtf8);
}

class BookTextFile : public test::TempHome {};

TEST_F(BookTextFile, ReadsWithoutChangingTheFile) {
    std::string path = home_ + "book/utf8.txt";
    std::string bytes = "\xEF\xBB\xBF" + kUtf8;
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    std::string text = "stale";
    ASSERT_TRUE(ReadBookText(path, text));
    EXPECT_EQ(text, kGbk);
    std::string after;
    ASSERT_TRUE(ReadWholeFile(path, after));
    EXPECT_EQ(after, bytes);

    EXPECT_FALSE(ReadBookText(home_ + "book/missing.txt", text));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(ReadBookText(home_ + "book", text));
}

TEST_F(BookTextFile, ReadsOnlyUpToTheLimit) {
    std::string path = home_ + "book/long.txt";
    ASSERT_TRUE(WriteWholeFile(path, kGbk + kGbk + kGbk));
    std::string text;
    BookReadResult read = ReadBookText(path, text, BookEncoding::kAuto, 5);
    EXPECT_TRUE(read.ok);
    EXPECT_TRUE(read.truncated);
    // The fifth byte is a lead whose trail was not read.
    EXPECT_EQ(text, kGbk + "?");
    read = ReadBookText(path, text, BookEncoding::kAuto, 12);
    EXPECT_FALSE(read.truncated);
    EXPECT_EQ(text, kGbk + kGbk + kGbk);
}

TEST_F(BookTextFile, ArrivesAsTheWholeReadGivesIt) {
    // Over several reading pieces, with damage right at their edges.
    std::string bytes;
    const std::string line = Gbk("　　话说天下大势，分久必合。\r\n");
    while (bytes.size() < kBackgroundReadBytes + 4096) bytes += line;
    // A pair and a CR LF split by the edges of the reading pieces (4 MiB).
    bytes.replace((4u << 20) - 2, 3, "a\xB0\xA1");
    bytes.replace((8u << 20) - 2, 3, "a\r\n");
    const std::string path = home_ + "book/big.txt";
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    std::string whole;
    ASSERT_TRUE(ReadBookText(path, whole));

    struct Case {
        const char* what;
        size_t size;    // what the open saw
        size_t length;  // what arrives
    };
    const Case cases[] = {
        {"whole", bytes.size(), bytes.size()},
        {"cut at the size seen", 5u << 20, 5u << 20},
        {"the file shrank since", bytes.size() + 4096, bytes.size()},
    };
    for (const Case& c : cases) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        std::unique_ptr<BookText> text = BookText::Load(fd, c.size);
        ASSERT_TRUE(text);
        EXPECT_GE(text->WaitFor(1000), 1000u) << c.what;
        const std::string_view got = text->Whole();
        EXPECT_TRUE(text->complete());
        EXPECT_EQ(text->size(), c.length) << c.what;
        // Cleaning the cut text whole gives the same bytes.
        std::string expected = bytes.substr(0, c.length);
        CleanGbkText(expected);
        EXPECT_TRUE(got == expected) << c.what;
        if (c.length == bytes.size()) EXPECT_TRUE(got == whole);
    }
    std::shared_ptr<const BookText> opened;
    const BookReadResult read = OpenBookText(path, BookEncoding::kAuto, opened);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.encoding, BookEncoding::kGbk);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->Whole() == whole);

    // A NUL ends the text; destroying a text still arriving stops its reader.
    bytes[6u << 20] = '\0';
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    std::unique_ptr<BookText> text = BookText::Load(::open(path.c_str(), O_RDONLY), bytes.size());
    EXPECT_EQ(text->Whole().size(), 6u << 20);
    text = BookText::Load(::open(path.c_str(), O_RDONLY), bytes.size());
    text.reset();

    // OpenBookText reads small books whole and unreadable ones not at all.
    ASSERT_TRUE(WriteWholeFile(path, "\xEF\xBB\xBF" + kUtf8));
    EXPECT_TRUE(OpenBookText(path, BookEncoding::kAuto, opened).ok);
    ASSERT_TRUE(opened && opened->complete());
    EXPECT_EQ(opened->Whole(), kGbk);
    EXPECT_FALSE(OpenBookText(home_ + "book", BookEncoding::kAuto, opened).ok);
    EXPECT_FALSE(opened);
}

}  // namespace
}  // namespace quillon
