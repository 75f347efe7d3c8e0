#include "core/reader/reading_resume.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../library/temp_home.h"
#include "core/platform/file_io.h"
#include "core/reader/bookmarks.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

class ReadingResumeTest : public test::TempHome {};

TEST_F(ReadingResumeTest, PositionSurvivesASaveAndIgnoresBadFiles) {
    const std::string book = Gbk("小说");
    EXPECT_EQ(ReadingPosition::FilePath(book), home_ + "book/lable/小说.pos");
    EXPECT_FALSE(ReadingPosition::Load(book));
    ASSERT_TRUE(ReadingPosition::Save(book, 1234567));
    EXPECT_EQ(ReadingPosition::Load(book), 1234567);

    const std::string good = ReadingPosition::Format(1234567);
    const std::vector<std::string> bad = {
        good.substr(0, good.size() - 4),  // cut off before the closing line
        good.substr(0, 10),               // cut inside the number
        "offset=12x4\nend\n",
        "offset=-5\nend\n",
        "offset=99999999999\nend\n",
        "offset=\nend\n",
        std::string("\0\0\0\0\0\0", 6),
        "end\noffset=12\n",
    };
    for (const std::string& bytes : bad) {
        EXPECT_FALSE(ReadingPosition::Parse(bytes)) << bytes;
        ASSERT_TRUE(WriteWholeFile(ReadingPosition::FilePath(book), bytes));
        EXPECT_FALSE(ReadingPosition::Load(book)) << bytes;
    }
    // The next save rewrites a damaged file.
    ASSERT_TRUE(ReadingPosition::Save(book, 42));
    EXPECT_EQ(ReadingPosition::Load(book), 42);
    EXPECT_EQ(ReadingPosition::Parse("offset=7\r\nend\r\n"), 7);
}

TEST_F(ReadingResumeTest, RenameCarriesBookmarksAndPositionButNeverOverwrites) {
    ASSERT_TRUE(WriteWholeFile(Bookmarks::FilePath("old"), "a::10\r\n"));
    ASSERT_TRUE(ReadingPosition::Save("old", 99));
    EXPECT_TRUE(CarryBookState("old", "new"));
    EXPECT_FALSE(FileExists(Bookmarks::FilePath("old")));
    EXPECT_EQ(ReadingPosition::Load("new"), 99);
    Bookmarks marks;
    marks.Load("new");
    ASSERT_EQ(marks.entries().size(), 1u);

    // The target's own files stay; the source's stay where they were.
    ASSERT_TRUE(ReadingPosition::Save("other", 5));
    EXPECT_TRUE(CarryBookState("new", "other"));
    EXPECT_EQ(ReadingPosition::Load("other"), 5);
    EXPECT_EQ(ReadingPosition::Load("new"), 99);
    // Nothing to carry is no failure.
    EXPECT_TRUE(CarryBookState("none", "none2"));
}

TEST_F(ReadingResumeTest, SettingsAndOpenBooksRoundTrip) {
    std::filesystem::create_directories(home_ + "data");
    ResumeSettings settings = ResumeSettings::Load();
    EXPECT_TRUE(settings.resumePosition);
    EXPECT_TRUE(settings.reopenBooks);
    settings.reopenBooks = false;
    ASSERT_TRUE(settings.Save());
    settings = ResumeSettings::Load();
    EXPECT_TRUE(settings.resumePosition);
    EXPECT_FALSE(settings.reopenBooks);

    EXPECT_TRUE(OpenBooks::Load().books.empty());
    OpenBooks open;
    open.books = {"三国", "//FilePath///tmp/a b.txt", "x"};
    open.current = 1;
    ASSERT_TRUE(open.Save());
    const OpenBooks back = OpenBooks::Load();
    EXPECT_EQ(back.books, open.books);
    EXPECT_EQ(back.current, 1);
    // A current index beyond the list (a hand-edited file) names no tab.
    ASSERT_TRUE(WriteWholeFile(OpenBooks::FilePath(), "current=3\nbook=a\n"));
    EXPECT_EQ(OpenBooks::Load().current, -1);
}

}  // namespace
}  // namespace quillon
