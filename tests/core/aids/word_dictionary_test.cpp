#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/aids/word_dictionary.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

class WordDictionaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("word_dict_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / "eng3.db").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    Dictionary LoadOf(const std::vector<std::string>& headwords) {
        std::vector<DictionaryEntry> entries;
        for (const std::string& h : headwords) entries.push_back({h, "[" + h + "]", "m:" + h});
        EXPECT_TRUE(WriteWholeFile(path_, BuildDictionaryFile(entries)));
        Dictionary d;
        d.Load(path_);
        return d;
    }
    std::string Found(Dictionary& d, const std::string& word) {
        LookupResult r{word, {}, {}, {}};
        if (d.Lookup(r) != 0) return "-";
        return r.found;
    }
    fs::path dir_;
    std::string path_;
};

TEST_F(WordDictionaryTest, EndingsAndPrefixesFindTheBaseForm) {
    Dictionary d = LoadOf({"study", "make", "happy", "Create", "box", "nice", "s", "agree"});
    EXPECT_EQ(d.count(), 8);
    // Neither "Studie" nor "Studi" is a headword: rule "ies" to "y" finds it.
    EXPECT_EQ(Found(d, "Studies"), "Study");
    EXPECT_EQ(Found(d, "making"), "make");
    EXPECT_EQ(Found(d, "unhappy"), "happy");
    EXPECT_EQ(Found(d, "boxes"), "box");
    EXPECT_EQ(Found(d, "nicely"), "nice");
    EXPECT_EQ(Found(d, "creation"), "create");
    EXPECT_EQ(Found(d, "disagree"), "agree");
    EXPECT_EQ(Found(d, "HAPPY"), "HAPPY");  // the exact form keeps the case clicked
    // A word no longer than an ending is not shortened; prefix and ending
    // removal are never combined.
    EXPECT_EQ(Found(d, "s"), "s");
    Dictionary none = LoadOf({"study"});
    EXPECT_EQ(Found(none, "s"), "-");
    EXPECT_EQ(Found(d, "unhappiness"), "-");
    EXPECT_EQ(Found(d, ""), "-");
}

TEST_F(WordDictionaryTest, LookupFillsPanelTextAndMeaningOfTheFoundEntry) {
    Dictionary d = LoadOf({"make"});
    LookupResult r{"makes", {}, {}, {}};
    ASSERT_EQ(d.Lookup(r), 0);
    EXPECT_EQ(r.query, "makes");
    EXPECT_EQ(r.found, "make");
    EXPECT_EQ(r.panelText, "[make]");
    EXPECT_EQ(r.meaning, "m:make");
}

TEST_F(WordDictionaryTest, RecordsWithoutClosingTabAndDamagedFiles) {
    EXPECT_EQ(ParseDictionaryRecord("word\tpanel\tmeaning").meaning, "");
    EXPECT_EQ(ParseDictionaryRecord("word\tpanel\tmeaning").panelText, "panel");
    EXPECT_EQ(ParseDictionaryRecord("word\tpanel\tmeaning\textra\t").meaning, "meaning");
    EXPECT_EQ(ParseDictionaryRecord("word").headword, "");

    std::string file = BuildDictionaryFile({{"one", "p1", "m1"}, {"two", "p2", "m2"}});
    // Magic in another case still reads.
    file.replace(0, 7, "bdc-100");
    ASSERT_TRUE(WriteWholeFile(path_, file));
    Dictionary lower;
    lower.Load(path_);
    EXPECT_EQ(lower.count(), 2);
    // Cut inside the second record: the first still reads.
    ASSERT_TRUE(WriteWholeFile(path_, file.substr(0, file.size() - 3)));
    Dictionary cut;
    cut.Load(path_);
    ASSERT_EQ(cut.count(), 1);
    EXPECT_EQ(cut.entries()[0].meaning, "m1");
    // A foreign file and a missing one give an empty dictionary.
    ASSERT_TRUE(WriteWholeFile(path_, "XYZ-100" + file.substr(7)));
    Dictionary foreign;
    foreign.Load(path_);
    EXPECT_EQ(foreign.count(), 0);
    EXPECT_TRUE(foreign.loaded());
    Dictionary missing;
    missing.Load((dir_ / "none.db").string());
    LookupResult r{"one", {}, {}, {}};
    EXPECT_EQ(missing.Lookup(r), 1);
}

TEST(WordPanelRuns, PhoneticCodesAndChineseAreSeparateRuns) {
    const std::vector<PanelRun> runs = CutPanelRuns("[h{pi] " + Gbk("快乐的") + "a" + Gbk("好"));
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].text, "[h{pi] ");
    EXPECT_FALSE(runs[0].gbk);
    EXPECT_EQ(runs[1].text, Gbk("快乐的"));
    EXPECT_TRUE(runs[1].gbk);
    EXPECT_EQ(runs[3].text, Gbk("好"));

    std::string many;
    for (int i = 0; i < 8; ++i) many += "x" + Gbk("字");
    EXPECT_EQ(CutPanelRuns(many).size(), 10u);
    // A lone lead byte at the end stays in its run instead of reading past.
    const auto odd = CutPanelRuns(std::string("a\xB0", 2));
    ASSERT_EQ(odd.size(), 2u);
    EXPECT_EQ(odd[1].text, "\xB0");
}

TEST(ShippedDictionary, LoadsAndKnowsCommonWords) {
    Dictionary d;
    d.Load(std::string(QUILLON_TEST_DATA) + "/../../data/eng3.db");
    EXPECT_GE(d.count(), 200);
    LookupResult r{"Books", {}, {}, {}};
    ASSERT_EQ(d.Lookup(r), 0);
    EXPECT_EQ(r.found, "Book");
    EXPECT_FALSE(r.meaning.empty());
    EXPECT_FALSE(CutPanelRuns(r.panelText).empty());
}

}  // namespace
}  // namespace quillon
