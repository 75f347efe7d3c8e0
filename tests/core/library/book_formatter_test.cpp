#include "core/library/book_formatter.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"
#include "temp_home.h"

namespace quillon {
namespace {

using namespace std::string_literals;

struct FormatCase {
    const char* what;
    std::string source;
    std::string expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.what; }

class FormatBookTextCases : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatBookTextCases, FormatsLines) {
    EXPECT_EQ(FormatBookText(GetParam().source), GetParam().expected) << GetParam().what;
}

const std::string kFullWidthSpace = "\xA1\xA1";

INSTANTIATE_TEST_SUITE_P(
    Rules, FormatBookTextCases,
    ::testing::Values(
        FormatCase{"title, blank lines, indented paragraph",
                   "Title\r\n\r\n\r\n" + kFullWidthSpace + kFullWidthSpace + "text\n",
                   "    Title\r\n    text\r\n"},
        FormatCase{"a line of blanks stays as an empty line", "a\r\n   \r\nb",
                   "    a\r\n    \r\n    b\r\n"},
        FormatCase{"spaces laid open by the full-width removal remain",
                   kFullWidthSpace + " text", "     text\r\n"},
        FormatCase{"full-width spaces inside a line go", "a" + kFullWidthSpace + "b" + kFullWidthSpace,
                   "    ab\r\n"},
        FormatCase{"CR-only breaks", "a\rb\r\rc", "    a\r\n    b\r\n    c\r\n"},
        FormatCase{"LF-only breaks", "a\nb\n\n\nc\n", "    a\r\n    b\r\n    c\r\n"},
        FormatCase{"mixed runs are one break", "a\n\r\r\n\nb", "    a\r\n    b\r\n"},
        FormatCase{"empty text", "", ""},
        FormatCase{"only line breaks", "\r\n\n\r\r\n", ""},
        FormatCase{"leading breaks make no empty first line", "\n\nabc", "    abc\r\n"},
        FormatCase{"tab, vertical tab and form feed are trimmed", "\t\v\f abc \t\f", "    abc\r\n"},
        FormatCase{"lone lead byte at the end", "ab\xB0", "    ab\xB0\r\n"},
        FormatCase{"lone lead byte before a break", "ab\xB0\r\ncd", "    ab\xB0\r\n    cd\r\n"},
        // B0 A1 and A1 B0 are two characters; the A1 A1 across them is no space.
        FormatCase{"A1 A1 across two characters stays", "\xB0\xA1\xA1\xB0", "    \xB0\xA1\xA1\xB0\r\n"},
        FormatCase{"two-byte characters are copied whole", "\xC4\xE3\xBA\xC3", "    \xC4\xE3\xBA\xC3\r\n"},
        FormatCase{"a NUL ends the text", "a\r\nb\0c\r\nd"s, "    a\r\n    b\r\n"}));

TEST(FormatBookText, LongLinesAndManyCrOnlyLines) {
    std::string longLine(3'000'000, 'x');
    EXPECT_EQ(FormatBookText(longLine), "    " + longLine + "\r\n");

    // One-byte lines between single CRs are the worst case for output growth.
    std::string crOnly;
    for (int i = 0; i < 200'000; ++i) crOnly += "a\r";
    std::string out = FormatBookText(crOnly);
    ASSERT_EQ(out.size(), 200'000u * 7);
    EXPECT_EQ(out.substr(0, 14), "    a\r\n    a\r\n");
    EXPECT_EQ(out.substr(out.size() - 7), "    a\r\n");
}

TEST(FormatBookText, ReportsProgressUpToTheTotal) {
    std::string text;
    for (int i = 0; i < 100'000; ++i) text += "line of text\r\n";
    std::vector<std::pair<size_t, size_t>> calls;
    FormatBookText(text, [&](size_t done, size_t total) { calls.emplace_back(done, total); });
    ASSERT_GE(calls.size(), 3u);
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, text.size());
        if (i > 0) {
            EXPECT_GT(calls[i].first, calls[i - 1].first);
        }
    }
    EXPECT_EQ(calls.back().first, text.size());
}

class FormatBookFile : public test::TempHome {};

TEST_F(FormatBookFile, WritesTheFileAndOneProgressTextPerLine) {
    std::string src = home_ + "src.txt";
    std::string dst = home_ + "book/out.txt";
    ASSERT_TRUE(WriteWholeFile(src, "a\nb\n\nc"));
    std::vector<std::string> texts;
    RecordingMessenger messenger;
    ASSERT_EQ(FormatBook(src, dst, [&](const std::string& t) { texts.push_back(t); }, messenger), 0);
    std::string out;
    ASSERT_TRUE(ReadWholeFile(dst, out));
    EXPECT_EQ(out, "    a\r\n    b\r\n    c\r\n");
    EXPECT_TRUE(messenger.entries.empty());
    // Three LF bytes: the estimated total is 4, although there are three lines.
    EXPECT_EQ(texts, (std::vector<std::string>{Gbk("加入书籍 格式化(1/4) 25%"), Gbk("加入书籍 格式化(2/4) 50%"),
                                               Gbk("加入书籍 格式化(3/4) 75%")}));
}

TEST_F(FormatBookFile, CrOnlyTextCountsPastItsEstimatedTotal) {
    std::string src = home_ + "src.txt";
    std::string dst = home_ + "out.txt";
    ASSERT_TRUE(WriteWholeFile(src, "a\rb"));
    std::vector<std::string> texts;
    RecordingMessenger messenger;
    ASSERT_EQ(FormatBook(src, dst, [&](const std::string& t) { texts.push_back(t); }, messenger), 0);
    EXPECT_EQ(texts, (std::vector<std::string>{Gbk("加入书籍 格式化(1/1) 100%"), Gbk("加入书籍 格式化(2/1) 200%")}));
}

TEST_F(FormatBookFile, EmptySourceGivesAnEmptyFile) {
    std::string src = home_ + "src.txt";
    std::string dst = home_ + "out.txt";
    ASSERT_TRUE(WriteWholeFile(src, "\r\n\r\n"));
    RecordingMessenger messenger;
    ASSERT_EQ(FormatBook(src, dst, nullptr, messenger), 0);
    EXPECT_EQ(FileSize(dst), 0);
}

TEST_F(FormatBookFile, UnreadableSourceKeepsTheDestination) {
    std::string dst = home_ + "out.txt";
    ASSERT_TRUE(WriteWholeFile(dst, "old book"));
    RecordingMessenger messenger;
    EXPECT_EQ(FormatBook(home_ + "missing.txt", dst, nullptr, messenger), 1);
    ASSERT_EQ(messenger.entries.size(), 1u);
    EXPECT_EQ(messenger.entries[0].text, Gbk("源书目录不正确或书籍名字非法"));
    std::string out;
    ASSERT_TRUE(ReadWholeFile(dst, out));
    EXPECT_EQ(out, "old book");

    // A source that is missing must not create a destination either.
    EXPECT_EQ(FormatBook(home_ + "missing.txt", home_ + "new.txt", nullptr, messenger), 1);
    EXPECT_FALSE(FileExists(home_ + "new.txt"));
}

TEST_F(FormatBookFile, UncreatableDestinationIsReported) {
    std::string src = home_ + "src.txt";
    ASSERT_TRUE(WriteWholeFile(src, "text"));
    RecordingMessenger messenger;
    EXPECT_EQ(FormatBook(src, home_ + "no/such/folder/out.txt", nullptr, messenger), 2);
    ASSERT_EQ(messenger.entries.size(), 1u);
    EXPECT_EQ(messenger.entries[0].text, Gbk("结果目录不正确或书籍名字非法"));
}

TEST_F(FormatBookFile, FormatsABookOntoItselfAndLeavesNoTemporaryFiles) {
    std::string path = home_ + "book/self.txt";
    ASSERT_TRUE(WriteWholeFile(path, "one\r\n\r\ntwo"));
    RecordingMessenger messenger;
    ASSERT_EQ(FormatBook(path, path, nullptr, messenger), 0);
    std::string out;
    ASSERT_TRUE(ReadWholeFile(path, out));
    EXPECT_EQ(out, "    one\r\n    two\r\n");
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(home_ + "book")) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace quillon
