#include "core/text/gbk_codec.h"

#include <string>

#include <gtest/gtest.h>

#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

const std::string kNiHaoGbk = "\xC4\xE3\xBA\xC3";
const std::string kNiHaoUtf8 = "\xE4\xBD\xA0\xE5\xA5\xBD";  // 你好
const std::string kFffd = std::string(kUtf8Replacement);

TEST(GbkCodec, ConvertsBothWays) {
    EXPECT_EQ(GbkToUtf8(kNiHaoGbk), kNiHaoUtf8);
    EXPECT_EQ(Utf8ToGbk(kNiHaoUtf8), kNiHaoGbk);
    EXPECT_EQ(GbkToUtf8("a" + kNiHaoGbk + "b"), "a" + kNiHaoUtf8 + "b");
    EXPECT_EQ(Gbk("你好"), kNiHaoGbk);
    EXPECT_EQ(GbkToUtf8(""), "");
    EXPECT_EQ(Utf8ToGbk(""), "");
    EXPECT_EQ(GbkToUtf8("plain ASCII"), "plain ASCII");
}

TEST(GbkCodec, BadGbkBecomesOneReplacementEach) {
    struct Case {
        const char* name;
        std::string gbk;
        std::string utf8;
    };
    const Case cases[] = {
        {"lead byte at the end", "ab\xC4", "ab" + kFffd},
        {"lead byte alone at the end after a character", kNiHaoGbk + "\xC4",
         kNiHaoUtf8 + kFffd},
        {"lead byte before a byte that cannot trail", "\xC4\x0A" "c", kFffd + "\nc"},
        {"0xFF is never a lead byte", "x\xFFy", "x" + kFffd + "y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8);
    }
}

TEST(GbkCodec, CharactersWithoutGbkFormBecomeQuestionMarks) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string gbk;
    };
    const Case cases[] = {
        {"emoji between letters", "a\xF0\x9F\x98\x80" "b", "a?b"},
        {"two emoji", "\xF0\x9F\x98\x80\xF0\x9F\x98\x81", "??"},
        {"emoji then Chinese", "\xF0\x9F\x98\x80" + kNiHaoUtf8, "?" + kNiHaoGbk},
        {"stray continuation byte", "a\x80" "b", "a?b"},
        {"0xFF", "a\xFF" "b", "a?b"},
        {"sequence cut by the end", "a\xE4\xBD", "a?"},
        {"broken sequence loses one byte only", "\xE4\x41" "b", "?Ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToGbk(c.utf8), c.gbk);
    }
}

TEST(GbkCodec, EveryTwoByteCharacterRoundTripsWithoutMark) {
    int mapped = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
            std::string utf8 = GbkToUtf8(gbk);
            if (utf8.find(kFffd) != std::string::npos) continue;  // no mapping
            ++mapped;
            ASSERT_TRUE(IsValidUtf8(utf8));
            ASSERT_NE(utf8.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
            ASSERT_EQ(Utf8ToGbk(utf8), gbk) << std::hex << lead << " " << trail;
        }
    }
    // GBK has more than 21,000 characters and symbols.
    EXPECT_GT(mapped, 21000);
}

TEST(GbkCodec, LongTextCrossesTheWorkBuffer) {
    std::string gbk;
    for (int i = 0; i < 5000; ++i) gbk += kNiHaoGbk + "\r\n";
    std::string utf8 = GbkToUtf8(gbk);
    EXPECT_EQ(utf8.size(), 5000u * 8);
    EXPECT_EQ(Utf8ToGbk(utf8), gbk);
}

TEST(GbkCodec, OtherCharsetsConvertToGbk) {
    // 中 in Big5 is A4 A4, in GBK D6 D0.
    EXPECT_EQ(ConvertCharset("\xA4\xA4", "CP950", "CP936", kGbkReplacement), "\xD6\xD0");
    EXPECT_EQ(ConvertCharset("a\xA4", "CP950", "CP936", kGbkReplacement), "a?");
    // Big5 A1 5A has no GBK form; its trail byte 'Z' must not survive as a
    // letter of its own, and the next character must still come through.
    EXPECT_EQ(ConvertCharset("\xA1\x5A\xA4\xA4", "CP950", "CP936", kGbkReplacement), "?\xD6\xD0");
}

// One bad or unmappable character of a wide text must cost one replacement
// and leave the rest of the text in step.
TEST(GbkCodec, WideSourcesSkipWholeCharacters) {
    using namespace std::string_literals;
    struct Case {
        const char* name;
        std::string input;
        const char* from;
        std::string gbk;
    };
    const std::string niHaoLe = "\x60\x4F\x7D\x59";
    const Case cases[] = {
        {"emoji as a surrogate pair, LE", "a\0\x3D\xD8\x00\xDE" "b\0"s + niHaoLe, "UTF-16LE",
         "a?b" + kNiHaoGbk},
        {"emoji as a surrogate pair, BE", "\0a\xD8\x3D\xDE\x00\0b\x4F\x60\x59\x7D"s, "UTF-16BE",
         "a?b" + kNiHaoGbk},
        {"lone high surrogate", "a\0\x3D\xD8" "b\0"s + niHaoLe, "UTF-16LE", "a?b" + kNiHaoGbk},
        {"lone low surrogate", "a\0\x00\xDE" "b\0"s + niHaoLe, "UTF-16LE", "a?b" + kNiHaoGbk},
        {"odd byte at the end", "a\0b"s, "UTF-16LE", "a?"},
        {"UTF-32 character without GBK form", "a\0\0\0\x00\xF6\x01\0b\0\0\0\x60\x4F\0\0"s,
         "UTF-32LE", "a?b\xC4\xE3"},
        {"UTF-32 value beyond Unicode", "a\0\0\0\0\0\0\x7F" "b\0\0\0"s, "UTF-32LE", "a?b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ConvertCharset(c.input, c.from, "CP936", kGbkReplacement), c.gbk);
    }
}

TEST(GbkCodec, ValidUtf8IsRecognised) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"ascii", true},
        {kNiHaoUtf8, true},
        {"\xF0\x9F\x98\x80", true},
        {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
        {"\xC0\x80", false},          // overlong NUL
        {"\xC1\xBF", false},          // overlong
        {"\xE0\x80\x80", false},      // overlong
        {"\xF0\x80\x80\x80", false},  // overlong
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // beyond U+10FFFF
        {"\xE4\xBD", false},          // cut short
        {"\x80", false},
        {"\xE4\x41\xA0", false},
        {kNiHaoGbk, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << ::testing::PrintToString(c.bytes);
    }
}

}  // namespace
}  // namespace quillon
