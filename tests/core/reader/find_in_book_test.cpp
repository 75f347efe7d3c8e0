#include "core/reader/find_in_book.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/messenger.h"
#include "core/reader/paging_model.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

using Positions = std::vector<int32_t>;

// The search as the dialog has always run it: fold a copy of the book and
// the search text, then walk the copy character by character.
Positions ReferenceFind(const std::string& text, const std::string& what, bool caseSensitive) {
    auto lower = [](std::string s) {
        for (size_t i = 0; i < s.size(); ++i) {
            if (static_cast<unsigned char>(s[i]) > 0x7F) {
                ++i;
            } else if (s[i] >= 'A' && s[i] <= 'Z') {
                s[i] = static_cast<char>(s[i] - 'A' + 'a');
            }
        }
        return s;
    };
    const std::string hay = caseSensitive ? text : lower(text);
    const std::string needle = caseSensitive ? what : lower(what);
    Positions out;
    size_t i = 0;
    while (i + needle.size() <= hay.size()) {
        if (hay.compare(i, needle.size(), needle) == 0) {
            out.push_back(static_cast<int32_t>(i));
            // Resume after the occurrence, then re-find the next character
            // boundary from the start, as only a walk from 0 can.
            const size_t resume = i + needle.size();
            size_t b = 0;
            while (b < resume) b += static_cast<unsigned char>(hay[b]) > 0x7F ? 2 : 1;
            i = b;
            continue;
        }
        i += static_cast<unsigned char>(hay[i]) > 0x7F ? 2 : 1;
    }
    return out;
}

TEST(FindInBook, OccurrencesDoNotOverlap) {
    EXPECT_EQ(FindOccurrences("ababab", "ab", true), (Positions{0, 2, 4}));
    EXPECT_EQ(FindOccurrences("aaaa", "aa", true), (Positions{0, 2}));
    EXPECT_EQ(FindOccurrences("aaaaa", "aa", false), (Positions{0, 2}));
    EXPECT_EQ(FindOccurrences("abc", "abcd", false), Positions{});
    EXPECT_EQ(FindOccurrences("abc", "", false), Positions{});
}

TEST(FindInBook, CaseOption) {
    const std::string text = "Hello, hello and HELLO again " + std::string(40, '.') + "hElLo";
    EXPECT_EQ(FindOccurrences(text, "HELLO", true), (Positions{17}));
    const std::vector<FindRow> rows = FindInBook(text, "HELLO", false);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].position, 0);
    EXPECT_EQ(rows[1].position, 7);
    EXPECT_EQ(rows[2].position, 17);
    // The row shows the book's bytes, not the folded ones.
    EXPECT_EQ(rows[0].found, "Hello, hel");
    EXPECT_EQ(rows[1].found, "hello and ");
    // At the end of the book fewer than ten bytes are left.
    EXPECT_EQ(rows[3].found, "hElLo");
    EXPECT_EQ(FindRowPositionText(rows[2]), "17");
}

TEST(FindInBook, TwoByteCharactersAreRespected) {
    // 0x41 and 0x61 here are the trails of pairs, not letters.
    const std::string text =
        "\xB0\x41"
        "A"
        "\xB0\x61"
        "a";
    EXPECT_EQ(FindOccurrences(text, "A", true), (Positions{2}));
    EXPECT_EQ(FindOccurrences(text, "a", false), (Positions{2, 5}));
    // A pair's trail compares exactly, even without the case option.
    EXPECT_EQ(FindOccurrences(text, "\xB0\x41", false), (Positions{0}));
    // The same bytes from the first pair's trail on are no occurrence.
    EXPECT_EQ(FindOccurrences(text, "\x41\x41", true), Positions{});
    EXPECT_EQ(FindOccurrences(text, "\x41\xB0", true), (Positions{2}));
    // In a run of pairs the same bytes match or straddle two characters
    // depending on where the run starts.
    const std::string pairs = "\xB2\xBB\xB2\xBB";
    EXPECT_EQ(FindOccurrences(pairs, "\xB2\xBB", true), (Positions{0, 2}));
    EXPECT_EQ(FindOccurrences("\xB1" + pairs, "\xB2\xBB", true), Positions{});
    EXPECT_EQ(FindOccurrences("a" + pairs, "\xB2\xBB", true), (Positions{1, 3}));
}

TEST(FindInBook, ResultTextLength) {
    const std::string word = Gbk("一二三四五六七八");  // 16 bytes
    const std::string text = "xx" + word + "abcdefghijklmnop";
    const std::vector<FindRow> rows = FindInBook(text, word, true);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].found, word);
    const std::vector<FindRow> shortRows = FindInBook(text, "ab", true);
    ASSERT_EQ(shortRows.size(), 1u);
    EXPECT_EQ(shortRows[0].found, "abcdefghij");
}

// Random texts rich in pairs whose trails look like letters, long enough
// for the sixteen-at-a-time screen, against the folding walk.
TEST(FindInBook, AgreesWithTheFoldingWalkOnRandomTexts) {
    std::mt19937 rng(777);
    const unsigned char alphabet[] = {'a',  'A',  'b',  'B',  ' ',  '\n',
                                      0x41, 0x61, 0xB0, 0xB0, 0xC4, 0xFE};
    for (int round = 0; round < 300; ++round) {
        std::string text(rng() % 600, ' ');
        // Every other round is mostly pairs, with long runs of bytes above
        // 0x7F between the rare single bytes.
        const bool pairHeavy = round % 2;
        for (char& ch : text) {
            const unsigned r = rng() % (pairHeavy ? 64 : sizeof alphabet);
            ch = static_cast<char>(r < sizeof alphabet ? alphabet[r] : 0xB0 + r % 3);
        }
        std::string what;
        if (!text.empty() && rng() % 3) {
            const size_t at = rng() % text.size();
            what = text.substr(at, 1 + rng() % 4);
        } else {
            for (size_t k = 1 + rng() % 3; k > 0; --k)
                what += static_cast<char>(alphabet[rng() % 4]);
        }
        for (char& ch : what) {
            if (rng() % 2 && ch >= 'a' && ch <= 'b') ch = static_cast<char>(ch - 32);
        }
        for (bool caseSensitive : {true, false}) {
            ASSERT_EQ(FindOccurrences(text, what, caseSensitive),
                      ReferenceFind(text, what, caseSensitive))
                << "round " << round << " case " << caseSensitive;
        }
    }
}

TEST(FindInBook, RunSearchReportsEmptyTextAndNoResult) {
    RecordingMessenger messenger;
    EXPECT_TRUE(RunSearch("some text", "", false, messenger).empty());
    EXPECT_TRUE(RunSearch("some text", "zz", false, messenger).empty());
    EXPECT_EQ(RunSearch("some text", "TEXT", false, messenger).size(), 1u);
    ASSERT_EQ(messenger.entries.size(), 2u);
    EXPECT_EQ(messenger.entries[0].text, Gbk("请输入要查找的内容"));
    EXPECT_EQ(messenger.entries[1].text, Gbk("未找到，请重新查找"));
}

TEST(FindInBook, PickResultSelectsTheEarlierLineAtAWrap) {
    PagingModel model;
    model.SetText("abcdefghij" + std::string(60, 'z'));
    model.UpdateGeometry(68 + 17 + 17 * 5, 65 + 41 * 2);  // 5 columns, 2 rows
    ASSERT_EQ(model.cols(), 5);
    model.LastPage();

    const std::vector<FindRow> rows = FindInBook(model.text(), "fg", true);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].position, 5);  // where line 0 ends and line 1 starts
    EXPECT_TRUE(PickResult(model, FindRowPositionText(rows[0])));
    EXPECT_EQ(model.topLine(), 0);
    EXPECT_EQ(model.cellGrid().At(0, 0).selected, 1);
    EXPECT_EQ(model.cellGrid().At(1, 0).selected, 0);

    EXPECT_FALSE(PickResult(model, "71"));
    EXPECT_EQ(model.topLine(), 0);
}

TEST(FindInBook, RowContextKeepsWholeCharactersOfTheHitsLine) {
    // The trail byte of 说 (0xB5) doubles as a lead byte: walking back from
    // the hit instead of forward from the line start would split characters.
    const std::string line = Gbk("前一行\r\n他说说说说说说说说说说说：小说在这里，后面还有很多很多字。\r\n");
    const auto at = static_cast<int32_t>(line.find(Gbk("小说")));
    EXPECT_EQ(FindRowContext(line, at, 4, 3), Gbk("…说说：【小说】在这里…"));
    EXPECT_EQ(FindRowContext(line, 0, 2, 8), Gbk("【前】一行 "));
    const std::string tail = "a\tb";
    EXPECT_EQ(FindRowContext(tail, 2, 1), Gbk("a 【b】"));
}

}  // namespace
}  // namespace quillon
