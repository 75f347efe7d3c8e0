#include "core/net/book_index.h"

#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "book_index_bytes.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"
#include "local_servers.h"

namespace quillon {
namespace {

using net_test::IndexBytes;
using net_test::TempFolder;

std::vector<std::string> Titles(const BookIndexFile& file, std::string_view utf8Query) {
    std::vector<std::string> titles;
    file.Search(SplitSearchWords(Utf8ToGbk(utf8Query)), [&](BookSearchRow&& row) {
        titles.push_back(GbkToUtf8(row.title));
        return true;
    });
    return titles;
}

TEST(BookIndexFile, SiteRecordsSwitchTheSiteOfLaterRecords) {
    std::string bytes = IndexBytes::File("甲站", {{"http://a/1", "红楼梦"},
                                                  {"site_name", "乙站"},
                                                  {"http://b/2", "红楼梦补"},
                                                  {"http://b/3", "西游记"}});
    BookIndexFile file;
    ASSERT_EQ(file.Parse(bytes), 0);
    EXPECT_EQ(file.declared(), 4);
    // The switching record counts as read, as the status total shows it.
    EXPECT_EQ(file.count(), 4);

    std::vector<std::pair<std::string, std::string>> found;
    file.Search(SplitSearchWords(Gbk("红楼")), [&](BookSearchRow&& row) {
        found.emplace_back(GbkToUtf8(row.title), GbkToUtf8(row.site));
        EXPECT_EQ(GbkToUtf8(row.action), "打开内容");
        return true;
    });
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], (std::pair<std::string, std::string>{"红楼梦", "甲站"}));
    EXPECT_EQ(found[1], (std::pair<std::string, std::string>{"红楼梦补", "乙站"}));

    // The switching record is no book: its "address" is the marker word.
    EXPECT_TRUE(Titles(file, "乙站").empty());
}

TEST(BookIndexFile, BadHeadersContributeNothing) {
    const std::vector<std::string> bad = {
        "",                                                           // empty
        IndexBytes().Int(0).Str("site_name").Str("x").bytes(),        // N = 0
        IndexBytes().Int(-3).Str("site_name").Str("x").bytes(),       // N < 0
        IndexBytes().Int(2).Str("site_nam").Str("x").Str("u").Str("红楼梦").bytes(),
        IndexBytes().Int(2).Str("SITE_NAME").Str("x").Str("u").Str("红楼梦").bytes(),
        IndexBytes().Int(2).Str("site_name").Int(1024).bytes(),       // header value too long
        IndexBytes().Int(2).Str("site_name").Int(5).bytes(),          // header value cut off
        std::string("\x02\x00", 2),                                   // N itself cut off
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        BookIndexFile file;
        EXPECT_EQ(file.Parse(bad[i]), 1) << "case " << i;
        EXPECT_EQ(file.count(), 0) << "case " << i;
    }
    BookIndexFile missing;
    EXPECT_EQ(missing.Load("/nonexistent/libdata_x.dat"), 1);
}

TEST(BookIndexFile, ABadLengthEndsTheFileKeepingEarlierRecords) {
    auto head = [] {
        IndexBytes b;
        b.Int(4).Str("site_name").Str("站").Str("http://a/1").Str("三国演义").Str("http://a/2").Str("水浒传");
        return b;
    };
    // A length just over the limit, a negative one, and one running past the
    // end of the file: each ends the reading after the two good records.
    std::vector<std::string> damaged = {
        head().Int(1024).bytes() + std::string(1024, 'x') + IndexBytes().Str("聊斋志异").bytes(),
        head().Int(-1).bytes(),
        head().Str("http://a/3").Int(500).bytes() + "short",
        head().Int(7).bytes(),
    };
    for (size_t i = 0; i < damaged.size(); ++i) {
        BookIndexFile file;
        ASSERT_EQ(file.Parse(damaged[i]), 0) << "case " << i;
        EXPECT_EQ(file.declared(), 3) << "case " << i;
        EXPECT_EQ(file.count(), 2) << "case " << i;
        EXPECT_EQ(Titles(file, "水浒"), std::vector<std::string>{"水浒传"}) << "case " << i;
    }

    // A string of exactly 1023 bytes is still good.
    BookIndexFile longest;
    std::string title = Utf8ToGbk("长") + std::string(1021, 'a');
    ASSERT_EQ(longest.Parse(IndexBytes().Int(2).Str("site_name").Str("站").Raw("u").Raw(title).bytes()), 0);
    EXPECT_EQ(longest.count(), 1);
}

TEST(BookIndexFile, AHugeAnnouncedCountIsOnlyAClaim) {
    // Two billion records announced, one present: no attempt to make room
    // for them all, and no read past the end.
    std::string bytes = IndexBytes().Int(0x7FFFFFFF).Str("site_name").Str("站").Str("u").Str("镜花缘").bytes();
    BookIndexFile file;
    ASSERT_EQ(file.Parse(bytes), 0);
    EXPECT_EQ(file.declared(), 0x7FFFFFFE);
    EXPECT_EQ(file.count(), 1);
    // Records beyond the announced count are not read.
    BookIndexFile fewer;
    ASSERT_EQ(fewer.Parse(IndexBytes::File("站", {{"u1", "甲"}, {"u2", "乙"}}) +
                          IndexBytes().Str("u3").Str("丙").bytes()),
              0);
    EXPECT_EQ(fewer.count(), 2);
}

TEST(BookIndexFile, DamagedBytesNeverCrashOrOverRead) {
    std::vector<std::pair<std::string, std::string>> records;
    for (int i = 0; i < 30; ++i) records.emplace_back("http://s/" + std::to_string(i), "书名" + std::to_string(i));
    const std::string good = IndexBytes::File("站", records);
    // Every cut of the file parses (or is refused) and keeps only whole
    // records; the parse works on an exact-size copy so that a sanitizer
    // build catches any read past the end.
    for (size_t cut = 0; cut <= good.size(); ++cut) {
        std::string prefix = good.substr(0, cut);
        BookIndexFile file;
        int rc = file.Parse(prefix);
        ASSERT_TRUE(rc == 0 || rc == 1);
        ASSERT_LE(file.count(), 30);
        for (const BookIndexRecord& r : file.records()) ASSERT_LE(r.title.size(), prefix.size());
    }
    std::mt19937 random(12345);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = good;
        for (int flips = 0; flips < 4; ++flips)
            bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
        BookIndexFile file;
        file.Parse(bytes);
        ASSERT_LE(file.count(), static_cast<int>(bytes.size() / 8));
    }
}

TEST(BookSearchWords, QueryIsTrimmedAndSplitAtRunsOfSpaces) {
    EXPECT_EQ(SplitSearchWords("   red   chamber  "), (std::vector<std::string>{"red", "chamber"}));
    EXPECT_EQ(SplitSearchWords("one"), std::vector<std::string>{"one"});
    EXPECT_TRUE(SplitSearchWords("    ").empty());
    // More words than the old twenty-place array are all kept, and all must
    // match.
    std::string many;
    for (int i = 0; i < 25; ++i) many += std::string(1, static_cast<char>('a' + i)) + " ";
    EXPECT_EQ(SplitSearchWords(many).size(), 25u);

    BookIndexFile file;
    ASSERT_EQ(file.Parse(IndexBytes::File("站", {{"u1", "红楼梦"}, {"u2", "红楼梦魇"}, {"u3", "梦里花落"},
                                                 {"u4", "Red Chamber"}})),
              0);
    EXPECT_EQ(Titles(file, "  梦  红楼 "), (std::vector<std::string>{"红楼梦", "红楼梦魇"}));
    EXPECT_EQ(Titles(file, "梦魇 红"), std::vector<std::string>{"红楼梦魇"});
    // Case-sensitive.
    EXPECT_TRUE(Titles(file, "red").empty());
    EXPECT_EQ(Titles(file, "Red"), std::vector<std::string>{"Red Chamber"});
}

TEST(BookSearchWords, AWordNeverMatchesAcrossCharacterHalves) {
    // "中文" is D6 D0 CE C4; the bytes D0 CE in the middle form another
    // character, which must not be found in it.
    std::string title = Utf8ToGbk("中文");
    ASSERT_EQ(title, std::string("\xD6\xD0\xCE\xC4"));
    EXPECT_FALSE(TitleMatches(title, {std::string("\xD0\xCE")}));
    EXPECT_TRUE(TitleMatches(title, {std::string("\xCE\xC4")}));
    // An ASCII-looking trail byte ('@' is 0x40) is not a letter of the title.
    EXPECT_FALSE(TitleMatches(std::string("\x81\x40"), {"@"}));
}

class BookIndexFolder : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::string& bytes) { net_test::WriteIndex(folder_.path() + name, bytes); }
    TempFolder folder_;
};

TEST_F(BookIndexFolder, OnlyTheFirstTwentyFilesInNameOrderAreRead) {
    for (int i = 0; i < 21; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "libdata_%02d.dat", i);
        Write(name, IndexBytes::File("站", {{"u" + std::to_string(i), "书" + std::to_string(i)}}));
    }
    // A broken file still takes one of the twenty places.
    Write("libdata_00.dat", "broken");
    Write("other.dat", IndexBytes::File("站", {{"u", "书99"}}));
    Write("libdata_x.txt", IndexBytes::File("站", {{"u", "书98"}}));

    BookIndex index(folder_.path());
    EXPECT_EQ(index.state(), BookIndex::kNotLoaded);
    EXPECT_EQ(index.Ensure(), BookIndex::kLoaded);
    EXPECT_EQ(index.fileCount(), 20);
    EXPECT_EQ(index.fileNames().front(), "libdata_00.dat");
    EXPECT_EQ(index.fileNames().back(), "libdata_19.dat");
    EXPECT_EQ(index.total(), 19);
    EXPECT_EQ(index.file(0).count(), 0);

    // Never reloaded: a file added now stays unseen.
    Write("libdata_000.dat", IndexBytes::File("站", {{"u", "书"}}));
    EXPECT_EQ(index.Ensure(), BookIndex::kLoaded);
    EXPECT_EQ(index.total(), 19);
}

TEST_F(BookIndexFolder, AMissingFolderLoadsAnEmptyIndex) {
    BookIndex index(folder_.path() + "nothing-here");
    EXPECT_EQ(index.Ensure(), BookIndex::kLoaded);
    EXPECT_EQ(index.fileCount(), 0);
    EXPECT_EQ(index.total(), 0);
}

TEST_F(BookIndexFolder, ConcurrentFirstSearchesLoadOnce) {
    std::vector<std::pair<std::string, std::string>> records;
    for (int i = 0; i < 20000; ++i) records.emplace_back("http://s/" + std::to_string(i), "卷" + std::to_string(i));
    Write("libdata_a.dat", IndexBytes::File("站", records));
    Write("libdata_b.dat", IndexBytes::File("站", records));

    BookIndex index(folder_.path());
    std::vector<int> results(8, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            while (index.Ensure() == BookIndex::kLoading) index.WaitLoaded(std::chrono::milliseconds(1000));
            results[t] = index.total();
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(results[t], 40000) << "thread " << t;
    EXPECT_EQ(index.fileCount(), 2);
}

TEST(BookIndexSample, TheShippedIndexReadsWhole) {
    // The generator script and the reader must agree on the format: every
    // record the script wrote is read back, and its site switch holds.
    BookIndex index(std::string(QUILLON_TEST_DATA) + "/../../list/");
    ASSERT_EQ(index.Ensure(), BookIndex::kLoaded);
    ASSERT_EQ(index.fileCount(), 2);
    for (int i = 0; i < index.fileCount(); ++i)
        EXPECT_EQ(index.file(i).count(), index.file(i).declared()) << index.fileNames()[i];
    EXPECT_GE(index.total(), 40);
    std::vector<std::string> sites;
    index.file(0).Search(SplitSearchWords(Gbk("呐喊")), [&](BookSearchRow&& row) {
        sites.push_back(GbkToUtf8(row.site));
        return true;
    });
    EXPECT_EQ(sites, std::vector<std::string>{"维基文库·鲁迅作品"});
    EXPECT_EQ(Titles(index.file(1), "Pride"), std::vector<std::string>{"Pride and Prejudice"});
}

}  // namespace
}  // namespace quillon
