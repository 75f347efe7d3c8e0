#include "core/net/favourites_store.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/platform/file_io.h"
#include "core/platform/messenger.h"
#include "core/text/gbk_literal.h"
#include "local_servers.h"

namespace quillon {
namespace {

using net_test::TempFolder;
using Kind = FavouritesList::Kind;

std::string Read(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

std::string LastMessage(const RecordingMessenger& m) {
    return m.entries.empty() ? "" : m.entries.back().text;
}

TEST(FavouritesStore, ParsesDescriptionAndUrlAndSkipsLinesWithoutTwoStars) {
    Favourite f;
    ASSERT_TRUE(ParseFavouriteLine("Site*page.htm*", f));
    EXPECT_EQ(f.description, "Site");
    EXPECT_EQ(f.url, "page.htm");
    ASSERT_TRUE(ParseFavouriteLine("a*b*ignored*more", f));
    EXPECT_EQ(f.description, "a");
    EXPECT_EQ(f.url, "b");
    ASSERT_TRUE(ParseFavouriteLine("**", f));
    EXPECT_EQ(f.description, "");
    EXPECT_EQ(f.url, "");

    f = {"keep", "me"};
    EXPECT_FALSE(ParseFavouriteLine("abc", f));
    EXPECT_FALSE(ParseFavouriteLine("abc*def", f));
    EXPECT_EQ(f.description, "keep");
}

TEST(FavouritesStore, UserFileKeepsOrderAndSkipsCommentsAndBadLines) {
    TempFolder tmp;
    std::string path = tmp.path() + "userkey.ini";
    ASSERT_TRUE(
        WriteWholeFile(path, "One*http://a/*\r\n//x*y*\r\n\r\nabc\nabc*def\r\r  Two * b.htm *  \n" +
                                 Gbk("中文*网*") + "\r\n"));
    std::vector<Favourite> out;
    ASSERT_EQ(LoadUserFavourites(path, out), FavouritesLoad::Loaded);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].description, "One");
    EXPECT_EQ(out[0].url, "http://a/");
    EXPECT_EQ(out[1].description, "Two ");
    EXPECT_EQ(out[1].url, " b.htm ");
    EXPECT_EQ(out[2].description, Gbk("中文"));

    EXPECT_EQ(LoadUserFavourites(tmp.path() + "none.ini", out), FavouritesLoad::Missing);
    EXPECT_TRUE(out.empty());
    std::filesystem::create_directory(tmp.path() + "dir.ini");
    EXPECT_EQ(LoadUserFavourites(tmp.path() + "dir.ini", out), FavouritesLoad::Unreadable);
}

TEST(FavouritesStore, RecommendedBlockStopsAtEndMarkerOrHundredLines) {
    TempFolder tmp;
    std::string tags = tmp.path() + "main.htm";
    ASSERT_TRUE(
        WriteWholeFile(tags,
                       "[MAIN_URL]\r\nhttp://m/\r\n[TJ_BEGIN]\r\n//c\r\nA*http://a/*\r\nbad\r\n"
                       "B*http://b/*\r\n[TJ_END]\r\nC*http://c/*\r\n"));
    auto rec = LoadRecommendedFavourites(tags);
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[0].url, "http://a/");
    EXPECT_EQ(rec[1].description, "B");

    std::string many = "[TJ_BEGIN]\r\n";
    for (int i = 0; i < 120; ++i)
        many += "T" + std::to_string(i) + "*u" + std::to_string(i) + "*\r\n";
    many += "[TJ_END]\r\n";
    ASSERT_TRUE(WriteWholeFile(tags, many));
    rec = LoadRecommendedFavourites(tags);
    ASSERT_EQ(rec.size(), 100u);
    EXPECT_EQ(rec.back().description, "T99");

    EXPECT_TRUE(LoadRecommendedFavourites(tmp.path() + "missing.htm").empty());
}

TEST(FavouritesStore, SaveWritesLinesAtomicallyAndFailsWithoutTouchingTheOldFile) {
    TempFolder tmp;
    std::string path = tmp.path() + "userkey.ini";
    ASSERT_TRUE(SaveUserFavourites(path, {{"A", "http://a/"}, {Gbk("乙"), "b.htm"}}));
    EXPECT_EQ(Read(path), "A*http://a/*\r\n" + Gbk("乙") + "*b.htm*\r\n");
    EXPECT_FALSE(FileExists(path + ".saving"));

    ASSERT_TRUE(SaveUserFavourites(path, {}));
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(FileSize(path), 0);

    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(SaveUserFavourites(path, {{"P", "p"}}));
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    EXPECT_FALSE(SaveUserFavourites(tmp.path() + "no/such/folder/userkey.ini", {{"A", "a"}}));
    // A stale temporary left by a crash does not block the next save.
    ASSERT_TRUE(WriteWholeFile(path + ".saving", "junk"));
    ASSERT_TRUE(SaveUserFavourites(path, {{"K", "k"}}));
    EXPECT_EQ(Read(path), "K*k*\r\n");
}

TEST(FavouritesStore, ValidationTrimsAndRefusesWhatTheLineCannotHold) {
    RecordingMessenger m;
    Favourite f{"  Site  ", "  http://x/  "};
    EXPECT_TRUE(ValidateFavourite(f, m));
    EXPECT_EQ(f.description, "Site");
    EXPECT_EQ(f.url, "http://x/");
    EXPECT_TRUE(m.entries.empty());

    struct Case {
        Favourite f;
        std::string message;
    } cases[] = {
        {{"   ", "http://x/"}, Gbk("说明不能为空")},
        {{"", ""}, Gbk("说明不能为空")},
        {{"Site", "    "}, Gbk("网址不能为空")},
        {{"a*b", "http://x/"}, Gbk("说明和网址中不能含有*号或换行")},
        {{"ab", "http://x/*y"}, Gbk("说明和网址中不能含有*号或换行")},
        {{"a\nb", "http://x/"}, Gbk("说明和网址中不能含有*号或换行")},
        {{" //note", "http://x/"}, Gbk("说明不能以//开头")},
    };
    for (auto& c : cases) {
        m.entries.clear();
        EXPECT_FALSE(ValidateFavourite(c.f, m)) << c.f.description;
        ASSERT_EQ(m.entries.size(), 1u);
        EXPECT_EQ(m.entries[0].text, c.message) << c.f.description;
    }
}

class FavouritesListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteWholeFile(tags_, "[TJ_BEGIN]\r\nRec*http://rec/*\r\n[TJ_END]\r\n"));
        ASSERT_TRUE(WriteWholeFile(user_, "U1*http://u1/*\r\nU2*http://u2/*\r\n"));
    }
    TempFolder tmp_;
    std::string tags_ = tmp_.path() + "main.htm";
    std::string user_ = tmp_.path() + "userkey.ini";
    RecordingMessenger m_;
};

TEST_F(FavouritesListTest, LoadsRecommendedFirstThenUserRows) {
    FavouritesList list(tags_, user_);
    list.Load();
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.rows()[0].kind, Kind::Recommended);
    EXPECT_EQ(list.rows()[0].item.url, "http://rec/");
    EXPECT_EQ(list.rows()[1].kind, Kind::User);
    EXPECT_EQ(list.rows()[2].item.description, "U2");
    for (const auto& r : list.rows()) EXPECT_FALSE(r.added);
}

TEST_F(FavouritesListTest, CommandsRefuseNoSelectionAndRecommendedRows) {
    FavouritesList list(tags_, user_);
    list.Load();
    std::string url;
    EXPECT_FALSE(list.CanEdit(-1, m_));
    EXPECT_EQ(LastMessage(m_), Gbk("请选择需要编辑的数据"));
    EXPECT_FALSE(list.CanEdit(0, m_));
    EXPECT_EQ(LastMessage(m_), Gbk("只能编辑用户收藏数据"));
    EXPECT_FALSE(list.CanDelete(3, m_));
    EXPECT_EQ(LastMessage(m_), Gbk("请选择需要删除的数据"));
    EXPECT_FALSE(list.CanDelete(0, m_));
    EXPECT_EQ(LastMessage(m_), Gbk("只能删除用户收藏数据"));
    EXPECT_FALSE(list.UrlToOpen(-1, m_, url));
    EXPECT_EQ(LastMessage(m_), Gbk("请选择需要打开的数据"));
    size_t told = m_.entries.size();

    EXPECT_TRUE(list.CanEdit(1, m_));
    EXPECT_TRUE(list.CanDelete(2, m_));
    ASSERT_TRUE(list.UrlToOpen(0, m_, url));
    EXPECT_EQ(url, "http://rec/");
    EXPECT_EQ(m_.entries.size(), told);
    // A recommended row cannot be removed even by a caller that skips the check.
    EXPECT_FALSE(list.Delete(0, m_));
    EXPECT_EQ(list.count(), 3);
}

TEST_F(FavouritesListTest, EveryChangeIsSavedAtOnceWithoutRecommendedRows) {
    FavouritesList list(tags_, user_);
    list.Load();
    ASSERT_TRUE(list.Add({"New", "http://new/"}, m_));
    EXPECT_TRUE(list.rows()[3].added);
    EXPECT_EQ(Read(user_), "U1*http://u1/*\r\nU2*http://u2/*\r\nNew*http://new/*\r\n");

    ASSERT_TRUE(list.Replace(1, {"First", "http://f/"}, m_));
    EXPECT_EQ(Read(user_), "First*http://f/*\r\nU2*http://u2/*\r\nNew*http://new/*\r\n");
    EXPECT_FALSE(list.Replace(0, {"X", "x"}, m_));

    ASSERT_TRUE(list.Delete(2, m_));
    EXPECT_EQ(Read(user_), "First*http://f/*\r\nNew*http://new/*\r\n");
    ASSERT_TRUE(list.Delete(1, m_));
    ASSERT_TRUE(list.Delete(1, m_));
    EXPECT_TRUE(FileExists(user_));
    EXPECT_EQ(FileSize(user_), 0);
    EXPECT_TRUE(m_.entries.empty());

    FavouritesList again(tags_, user_);
    again.Load();
    EXPECT_EQ(again.count(), 1);
}

TEST_F(FavouritesListTest, MissingUserFileIsCreatedOnFirstAdd) {
    std::filesystem::remove(user_);
    FavouritesList list(tags_, user_);
    list.Load();
    EXPECT_EQ(list.count(), 1);
    EXPECT_FALSE(list.userFileUnreadable());
    ASSERT_TRUE(list.Add({"A", "a"}, m_));
    EXPECT_EQ(Read(user_), "A*a*\r\n");
}

TEST_F(FavouritesListTest, UnreadableUserFileIsNeverOverwritten) {
    std::filesystem::remove(user_);
    std::filesystem::create_directory(user_);
    ASSERT_TRUE(WriteWholeFile(user_ + "/inside", "kept"));
    FavouritesList list(tags_, user_);
    list.Load();
    EXPECT_TRUE(list.userFileUnreadable());
    EXPECT_FALSE(list.Add({"A", "a"}, m_));
    ASSERT_EQ(m_.entries.size(), 1u);
    EXPECT_EQ(m_.entries[0].text, Gbk("收藏夹文件无法读取,为免覆盖原有收藏,本次修改未能保存"));
    EXPECT_EQ(list.count(), 2);  // the typed entry stays visible
    EXPECT_EQ(Read(user_ + "/inside"), "kept");
}

TEST_F(FavouritesListTest, FailedSaveIsToldAndKeepsTheOldFile) {
    std::string inMissing = tmp_.path() + "gone/userkey.ini";
    FavouritesList list(tags_, inMissing);
    list.Load();
    EXPECT_FALSE(list.Add({"A", "a"}, m_));
    EXPECT_EQ(LastMessage(m_), Gbk("收藏夹保存失败,原有收藏文件未改动"));
    EXPECT_FALSE(FileExists(inMissing));
}

}  // namespace
}  // namespace quillon
