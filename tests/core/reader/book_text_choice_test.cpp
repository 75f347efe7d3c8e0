#include "core/reader/book_text_choice.h"

#include <string>

#include <gtest/gtest.h>

#include "../library/temp_home.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

const std::string kBooks = QUILLON_TEST_DATA "/books/";

// The opening the book set holds, as the page must show it.
const std::string kS = Gbk(
    "第一章 风起\r\n　　天色已晚，他说：“我们明天再走吧。”她点了点头，没有回答。\r\n"
    "　　第二天早上，大家都起来了，只有他还在房间里睡觉。\r\n");
const std::string kT = Gbk(
    "第一章 風起\r\n　　天色已晚，他說：“我們明天再走吧。”她點了點頭，沒有回答。\r\n"
    "　　第二天早上，大家都起來了，只有他還在房間裡睡覺。\r\n");

// `text` with `junk` put in before the first `mark`.
std::string Before(std::string text, const std::string& mark, const std::string& junk) {
    return text.insert(text.find(mark), junk);
}

std::string CrOnly(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\n");
    return text;
}

struct BookCase {
    const char* file;
    BookEncoding detected;
    std::string shown;
};

void PrintTo(const BookCase& c, std::ostream* os) { *os << c.file; }

class BookSet : public ::testing::TestWithParam<BookCase> {};

TEST_P(BookSet, OpensAsWritten) {
    const BookCase& c = GetParam();
    std::string text;
    BookReadResult read = ReadBookForReading(kBooks + c.file, BookTextChoice{}, text);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.encoding, c.detected);
    EXPECT_EQ(text, c.shown);
}

const std::string kNextLine = Gbk("\r\n　　第二");
const std::string kSky = Gbk("天色");

INSTANTIATE_TEST_SUITE_P(
    Books, BookSet,
    ::testing::Values(
        BookCase{"gbk.txt", BookEncoding::kGbk, kS},
        BookCase{"gbk_damaged.txt", BookEncoding::kGbk, Before(Before(kS, kSky, "?"), kNextLine, "?")},
        BookCase{"gb18030.txt", BookEncoding::kGb18030, kS + "?\r\n"},
        BookCase{"big5.txt", BookEncoding::kBig5, kT},
        BookCase{"big5_damaged.txt", BookEncoding::kBig5, Before(kT, kSky, "?")},
        BookCase{"utf8.txt", BookEncoding::kUtf8, kS},
        BookCase{"utf8_bom.txt", BookEncoding::kUtf8, kS},
        BookCase{"utf8_damaged.txt", BookEncoding::kUtf8, Before(Before(kS, kSky, "?"), kNextLine, "??")},
        BookCase{"utf16le.txt", BookEncoding::kUtf16Le, kS},
        BookCase{"utf16le_nobom.txt", BookEncoding::kUtf16Le, kS},
        BookCase{"utf16be_nobom.txt", BookEncoding::kUtf16Be, kS},
        BookCase{"utf16be_nobom_cjk.txt", BookEncoding::kUtf16Be,
                 Gbk("天色已晚他说我们明天再走吧她点了点头没有回答第二天早上大家都起来了只有他还在房间里睡觉")},
        BookCase{"utf16le_odd.txt", BookEncoding::kUtf16Le, kS + "?"},
        BookCase{"utf32le.txt", BookEncoding::kUtf32Le, kS},
        // Each CR becomes the LF it stands for, byte for byte.
        BookCase{"cr_only.txt", BookEncoding::kGbk, CrOnly(kS)},
        BookCase{"mixed_breaks.txt", BookEncoding::kGbk, Gbk("一\r\n二\n三\n四\n")},
        BookCase{"empty.txt", BookEncoding::kGbk, ""},
        BookCase{"nul_only.txt", BookEncoding::kGbk, ""},
        // Up to its first zero byte.
        BookCase{"binary.bin", BookEncoding::kGbk, ""}));

class ChoiceFile : public test::TempHome {};

TEST_F(ChoiceFile, OverridesAndSimplifiesPerBook) {
    const std::string name = Gbk("风起");
    EXPECT_EQ(LoadBookTextChoice(name), BookTextChoice{});
    const BookTextChoice big5{BookEncoding::kBig5, true};
    ASSERT_TRUE(SaveBookTextChoice(name, big5));
    EXPECT_EQ(LoadBookTextChoice(name), big5);
    EXPECT_EQ(LoadBookTextChoice(Gbk("别的书")), BookTextChoice{});

    // Forcing an encoding reads the bytes that way; simplified on request.
    std::string text;
    EXPECT_EQ(ReadBookForReading(kBooks + "big5.txt", big5, text).encoding, BookEncoding::kBig5);
    EXPECT_EQ(text, kS);
    ReadBookForReading(kBooks + "big5.txt", {BookEncoding::kGbk, false}, text);
    std::string raw;
    ReadWholeFile(kBooks + "big5.txt", raw);
    EXPECT_EQ(text.size(), raw.size());
    EXPECT_NE(text, kT);

    // Back to automatic removes the file.
    ASSERT_TRUE(SaveBookTextChoice(name, BookTextChoice{}));
    EXPECT_FALSE(FileExists(BookTextChoicePath(name)));
    ASSERT_TRUE(WriteWholeFile(BookTextChoicePath(name), "encoding=nonsense\nsimplified=1\n"));
    EXPECT_EQ(LoadBookTextChoice(name), (BookTextChoice{BookEncoding::kAuto, true}));
}

}  // namespace
}  // namespace quillon
