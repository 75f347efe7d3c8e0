#include "core/reader/bookmarks.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../library/temp_home.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

class BookmarksTest : public test::TempHome {
protected:
    std::string FileContent(std::string_view book) {
        std::string out;
        ReadWholeFile(Bookmarks::FilePath(book), out);
        return out;
    }
    RecordingMessenger messenger_;
};

TEST_F(BookmarksTest, FileNameReplacesSeparatorsButNotTrailBytes) {
    EXPECT_EQ(Bookmarks::FilePath("a\\b/c:d"), home_ + "book/lable/a_b_c_d.txt");
    // 0x5C as the trail byte of a two-byte character is part of it.
    const std::string withTrail5C = "\x95\x5C" "x";
    EXPECT_EQ(Bookmarks::FilePath(withTrail5C), home_ + "book/lable/" + GbkToUtf8(withTrail5C) + ".txt");
    EXPECT_EQ(Bookmarks::FilePath(Gbk("小说")), home_ + "book/lable/小说.txt");
}

TEST_F(BookmarksTest, DescriptionLengthCountsBytes) {
    struct Case {
        std::string description;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"ab", false},          {std::string(256, 'x'), false}, {"abc", true},
        {std::string(255, 'y'), true}, {Gbk("书"), false},      {Gbk("书签"), true},
    };
    Bookmarks marks;
    marks.Load("length book");
    size_t expected = 0;
    for (const Case& c : cases) {
        messenger_.entries.clear();
        EXPECT_EQ(marks.Add(c.description, 10, messenger_), c.accepted) << c.description.size();
        if (c.accepted) {
            ++expected;
            EXPECT_TRUE(messenger_.entries.empty());
        } else {
            ASSERT_EQ(messenger_.entries.size(), 1u);
            EXPECT_EQ(messenger_.entries[0].text, Gbk("说明长度请设置在3-255字符之间"));
        }
        EXPECT_EQ(marks.entries().size(), expected);
    }
}

TEST_F(BookmarksTest, SavedEntriesComeBackOnLoad) {
    Bookmarks marks;
    marks.Load(Gbk("小说"));
    EXPECT_TRUE(marks.entries().empty());
    ASSERT_TRUE(marks.Add(Gbk("第一章"), 0, messenger_));
    ASSERT_TRUE(marks.Add("chapter::two", 1234, messenger_));
    ASSERT_TRUE(marks.Add("//hidden", 55, messenger_));
    ASSERT_TRUE(marks.Add("  padded  ", 77, messenger_));
    ASSERT_TRUE(marks.Add("line\r\nbreak", 88, messenger_));
    ASSERT_TRUE(marks.Add("early", -1, messenger_));
    EXPECT_EQ(FileContent(Gbk("小说")), Gbk("第一章::0\r\n") +
                                           "chapter::two::1234\r\n//hidden::55\r\n  padded  ::77\r\n"
                                           "line  break::88\r\nearly::-1\r\n");

    Bookmarks again;
    again.Load(Gbk("小说"));
    // The "//" entry is skipped, blanks are trimmed.
    EXPECT_EQ(again.Items(), (std::vector<std::string>{Bookmarks::Header(), Gbk("第一章::0"), "chapter::two::1234",
                                                       "padded  ::77", "line  break::88", "early::-1"}));
    EXPECT_EQ(again.JumpTarget(2), 1234);  // the number after the last "::"
    EXPECT_EQ(again.JumpTarget(5), -1);
    EXPECT_EQ(again.JumpTarget(0), std::nullopt);
    EXPECT_EQ(again.JumpTarget(6), std::nullopt);
}

TEST_F(BookmarksTest, LoadSkipsBlankAndCommentLinesOfAHandWrittenFile) {
    ASSERT_TRUE(WriteWholeFile(home_ + "book/lable/hand.txt", "\r\n\r\n one::5 \n\n// note\rtwo::6"));
    Bookmarks marks;
    marks.Load("hand");
    EXPECT_EQ(marks.entries(), (std::vector<std::string>{"one::5", "two::6"}));
}

TEST_F(BookmarksTest, EntriesAfterANulSurviveTheNextSave) {
    ASSERT_TRUE(WriteWholeFile(home_ + "book/lable/nul.txt", std::string("one::1\r\n\0two::2\r\nthree::3\r\n", 25)));
    Bookmarks marks;
    marks.Load("nul");
    ASSERT_TRUE(marks.Add("four", 4, messenger_));
    EXPECT_EQ(FileContent("nul"), "one::1\r\ntwo::2\r\nthree::3\r\nfour::4\r\n");
}

TEST_F(BookmarksTest, DeleteIgnoresTheHeaderAndRewritesTheFile) {
    Bookmarks marks;
    marks.Load("book");
    ASSERT_TRUE(marks.Add("first", 1, messenger_));
    ASSERT_TRUE(marks.Add("second", 2, messenger_));
    EXPECT_FALSE(marks.Delete(0));
    EXPECT_FALSE(marks.Delete(3));
    EXPECT_EQ(marks.entries().size(), 2u);
    EXPECT_TRUE(marks.Delete(1));
    EXPECT_EQ(marks.entries(), (std::vector<std::string>{"second::2"}));
    EXPECT_EQ(FileContent("book"), "second::2\r\n");
}

TEST_F(BookmarksTest, SaveRecreatesTheBookmarkFolder) {
    std::filesystem::remove_all(home_ + "book");
    Bookmarks marks;
    marks.Load("book");
    ASSERT_TRUE(marks.Add("mark", 9, messenger_));
    EXPECT_EQ(FileContent("book"), "mark::9\r\n");
}

TEST(BookmarkJump, ReadsTheNumberAfterTheLastSeparator) {
    EXPECT_EQ(Bookmarks::JumpPosition("a::b::77"), 77);
    EXPECT_EQ(Bookmarks::JumpPosition("desc::42abc"), 42);
    EXPECT_EQ(Bookmarks::JumpPosition("desc::"), 0);
    EXPECT_EQ(Bookmarks::JumpPosition("123"), 123);
    EXPECT_EQ(Bookmarks::JumpPosition("x::99999999999999999999999"), INT64_MAX);
}

TEST(BookmarkDefaults, DescriptionIsTheLocalTime) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 3;
    t.tm_min = 4;
    t.tm_sec = 5;
    t.tm_isdst = -1;
    EXPECT_EQ(Bookmarks::DefaultDescription(std::mktime(&t)), "2024-01-02 03:04:05");
}

}  // namespace
}  // namespace quillon
