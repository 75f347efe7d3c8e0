#include "core/text/byte_string.h"

#include <string>

#include <gtest/gtest.h>

namespace quillon {
namespace {

constexpr auto npos = std::string_view::npos;

TEST(ByteString, TrimRemovesAsciiWhiteSpaceOnly) {
    EXPECT_EQ(TrimAscii("  \t a b \r\n\v\f"), "a b");
    EXPECT_EQ(TrimAscii(" \r\n "), "");
    EXPECT_EQ(TrimAscii(""), "");
    // The full-width space A1 A1 is a character, not white space.
    EXPECT_EQ(TrimAscii(" \xA1\xA1x\xA1\xA1 "), "\xA1\xA1x\xA1\xA1");
    EXPECT_EQ(TrimAsciiLeft("  a  "), "a  ");
    EXPECT_EQ(TrimAsciiRight("  a  "), "  a");
}

TEST(ByteString, LowerCaseLeavesTrailBytesAlone) {
    EXPECT_EQ(ToLowerAscii("ABC xyZ"), "abc xyz");
    // B0 41 is one character whose second byte looks like 'A'.
    EXPECT_EQ(ToLowerAscii("A\xB0\x41Z"), "a\xB0\x41z");
    EXPECT_EQ(ToLowerAscii("Q\xB0"), "q\xB0");
}

TEST(ByteString, CaseInsensitiveCompareNeverFoldsATrailByte) {
    struct Case {
        std::string a, b;
        bool equal;
    };
    const Case cases[] = {
        {"[MAIN_URL]", "[main_url]", true},
        {"abc", "abd", false},
        {"abc", "ab", false},
        {"", "", true},
        {"\xB0\x41", "\xB0\x61", false},
        {"\xB0\x41X", "\xB0\x41x", true},
        {"X\xC4\xE3", "x\xC4\xE3", true},
        {"\xC4\xE3", "\xC4\xE4", false},
        {"@", "`", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal);
        EXPECT_EQ(EqualsIgnoreCase(c.b, c.a), c.equal);
    }
}

TEST(ByteString, StartsWithIgnoresCaseOverThePrefix) {
    EXPECT_TRUE(StartsWithIgnoreCase("[main_url] more", "[MAIN_URL]"));
    EXPECT_TRUE(StartsWithIgnoreCase("abc", ""));
    EXPECT_FALSE(StartsWithIgnoreCase(" [MAIN_URL]", "[MAIN_URL]"));
    EXPECT_FALSE(StartsWithIgnoreCase("[MAIN", "[MAIN_URL]"));
}

TEST(ByteString, FindGbkNeverMatchesOnATrailByte) {
    struct Case {
        const char* name;
        std::string haystack, needle;
        size_t from;
        bool ignoreCase;
        size_t expected;
    };
    const Case cases[] = {
        {"trail byte only", "\xB0\x41", "A", 0, false, npos},
        {"after the character", "x\xB0\x41" "A", "A", 0, false, 3},
        {"trail byte with case folding", "\xB0\x61", "A", 0, true, npos},
        {"needle straddling two characters", "\xB0\x41\xB0\x42", "\x41\xB0", 0, false, npos},
        {"two-byte needle", "ab\xC4\xE3" "cd", "\xC4\xE3", 0, false, 2},
        {"mixed needle ignoring case", "\xC4\xE3X", "\xC4\xE3x", 0, true, 0},
        {"case matters by default", "abcABC", "ABC", 0, false, 3},
        {"from skips an earlier match", "abcABC", "abc", 1, true, 3},
        {"from past the end", "abc", "c", 10, false, npos},
        {"empty needle", "abc", "", 0, false, npos},
        {"needle longer than haystack", "ab", "abc", 0, false, npos},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindGbk(c.haystack, c.needle, c.from, c.ignoreCase), c.expected);
    }
}

// Markup search: byte-wise, either case, bounded by [from, limit).
TEST(ByteString, FindAsciiFoldedMatchesEitherCaseWithinItsRange) {
    struct Case {
        std::string hay;
        size_t from, limit, expected;
    };
    const size_t npos = std::string_view::npos;
    const Case cases[] = {
        {"<TITLE>", 0, npos, 0},         {"x<TiTlE", 0, npos, 1},
        {"<titl<title", 0, npos, 5},     {"<title", 1, npos, npos},
        {"ab<title", 0, 7, npos},        {"ab<title", 0, 8, 2},
        {"<tit", 0, npos, npos},         {"\xB0<title", 0, npos, 1},
        {"<title", 7, 3, npos},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindAsciiFolded(c.hay, "<title", c.from, c.limit), c.expected) << c.hay << " " << c.from;
    }
    // A needle starting with a letter is looked for in both cases.
    EXPECT_EQ(FindAsciiFolded("xxCHARSET", "charset"), 2u);
}

TEST(ByteString, ReplaceAllReplacesEveryOccurrence) {
    EXPECT_EQ(ReplaceAll("aXbXc", "X", "--"), "a--b--c");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("NEW_LINE", "NEW_LINE", "\r\n"), "\r\n");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("abc", "z", "x"), "abc");
}

TEST(ByteString, FormatPrintsIntoAString) {
    EXPECT_EQ(Format("%s*%s*\r\n", "a", "b"), "a*b*\r\n");
    EXPECT_EQ(Format("RGB(%d,%d,%d)", 1, 22, 255), "RGB(1,22,255)");
    EXPECT_EQ(Format("%s", ""), "");
    std::string longText(5000, 'q');
    EXPECT_EQ(Format("<%s>", longText.c_str()), "<" + longText + ">");
}

}  // namespace
}  // namespace quillon
