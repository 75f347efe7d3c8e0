#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "core/aids/speech_config.h"
#include "core/aids/speech_engine.h"
#include "core/aids/speech_units.h"
#include "core/aids/speech_worker.h"
#include "core/config/record_file.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// ---- Settings record ----

class SpeechConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("speech_cfg_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / "ttsconfig.dat").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    std::string path_;
};

TEST_F(SpeechConfigTest, MissingOrShortFileKeepsDefaults) {
    TtsConfig c = LoadTtsConfig(path_);
    EXPECT_EQ(c.rate, 0);
    EXPECT_EQ(c.background, 0x00008000u);
    EXPECT_EQ(c.textColour, 0x00FFFFFFu);
    EXPECT_TRUE(c.voiceId.empty());

    unsigned char four[4];
    PutInt32LE(four, -3);
    ASSERT_TRUE(WriteWholeFile(path_, std::string(reinterpret_cast<char*>(four), 4)));
    c = LoadTtsConfig(path_);
    EXPECT_EQ(c.rate, -3);
    EXPECT_EQ(c.background, 0x00008000u);  // bytes beyond the file keep defaults
    EXPECT_EQ(c.textColour, 0x00FFFFFFu);
}

TEST_F(SpeechConfigTest, SavesWholeRecordAndClampsRates) {
    TtsConfig c;
    c.rate = -7;
    c.background = 0x00123456;
    c.textColour = 0x00ABCDEF;
    c.voiceId = "sit/cmn";
    ASSERT_TRUE(SaveTtsConfig(path_, c));
    EXPECT_EQ(FileSize(path_), 512);
    TtsConfig back = LoadTtsConfig(path_);
    EXPECT_EQ(back.rate, -7);
    EXPECT_EQ(back.background, 0x00123456u);
    EXPECT_EQ(back.textColour, 0x00ABCDEFu);
    EXPECT_EQ(back.voiceId, "sit/cmn");

    // Saving 15 stores 10; a stored 15 (written by hand) loads as 0.
    c.rate = 15;
    ASSERT_TRUE(SaveTtsConfig(path_, c));
    EXPECT_EQ(LoadTtsConfig(path_).rate, 10);
    std::string raw;
    ASSERT_TRUE(ReadWholeFile(path_, raw));
    PutInt32LE(reinterpret_cast<unsigned char*>(raw.data()), 15);
    ASSERT_TRUE(WriteWholeFile(path_, raw));
    EXPECT_EQ(LoadTtsConfig(path_).rate, 0);
}

TEST_F(SpeechConfigTest, LongVoiceIdIsCutTo300BytesWithoutSplittingACharacter) {
    std::string raw(512, '\0');
    const std::string longId = "a" + std::string(400, '\xB0');  // a + 200 characters
    std::copy(longId.begin(), longId.end(), raw.begin() + 12);
    ASSERT_TRUE(WriteWholeFile(path_, raw));
    const TtsConfig c = LoadTtsConfig(path_);
    // 1 + 2 * 149 = 299 bytes: the next character would end at byte 301.
    EXPECT_EQ(c.voiceId.size(), 299u);
    EXPECT_EQ(c.voiceId[0], 'a');
    EXPECT_EQ(CutGbk(std::string(350, 'x'), 300).size(), 300u);
}

// ---- Units ----

std::vector<std::string> ReadAll(const SpeechPage& page) {
    std::vector<std::string> units;
    SpeechPos pos{0, 0};
    while (pos.row < page.rows()) {
        const SpeechUnit u = FindSpeechUnit(page, pos);
        const std::string t = TrimmedUnitText(u);
        if (!t.empty()) units.push_back(t);
        pos = NextReadingPosition(page, u);
    }
    return units;
}

TEST(SpeechUnits, WordsNumbersAndClauses) {
    const SpeechPage page(3, 20, {"Hello world 3.14", Gbk("今天，天气好。"), "a+b"});
    const std::vector<std::string> want = {"Hello", "world", "3.14", Gbk("今天，"),
                                           Gbk("天气好。"), "a", "+", "b"};
    EXPECT_EQ(ReadAll(page), want);
}

TEST(SpeechUnits, RunsFollowTheTextAcrossLineWraps) {
    // "Internatio|nal" wraps at 10 columns; the clause wraps after 4 characters.
    const SpeechPage page(4, 10, {"Internatio", "nal 12.", Gbk("一二三四五"), Gbk("六。")});
    SpeechUnit word = FindSpeechUnit(page, {1, 1});  // backwards from the middle
    EXPECT_EQ(word.text, "International");
    EXPECT_EQ(word.first, (SpeechPos{0, 0}));
    EXPECT_EQ(word.last, (SpeechPos{1, 2}));
    EXPECT_EQ(word.cells.size(), word.text.size());

    const SpeechUnit clause = FindSpeechUnit(page, {2, 0});
    EXPECT_EQ(clause.text, Gbk("一二三四五六。"));
    EXPECT_EQ(clause.last, (SpeechPos{3, 3}));
    // The trail byte of the fifth character spills into the extra column.
    EXPECT_EQ(FindSpeechUnit(page, {2, 9}).text.substr(0, 2), Gbk("五"));
}

TEST(SpeechUnits, BlankRestOfRowMovesToNextRow) {
    const SpeechPage page(2, 12, {"Hi   \t  ", "there"});
    const SpeechUnit hi = FindSpeechUnit(page, {0, 0});
    EXPECT_EQ(hi.text, "Hi");
    EXPECT_EQ(NextReadingPosition(page, hi), (SpeechPos{1, 0}));
    const SpeechPage busy(1, 12, {"Hi  x"});
    EXPECT_EQ(NextReadingPosition(busy, FindSpeechUnit(busy, {0, 0})), (SpeechPos{0, 2}));
    // A unit ending in the last column goes on at the next row as well.
    const SpeechPage full(2, 5, {"abcde", "f"});
    const SpeechUnit abc = FindSpeechUnit(full, {0, 0});
    EXPECT_EQ(abc.text, "abcdef");
    EXPECT_EQ(NextReadingPosition(full, abc), (SpeechPos{2, 0}));
}

// ---- Engine and worker: real synthesis into memory ----

struct Audio {
    std::mutex mutex;
    size_t samples = 0;
    int16_t peak = 0;
    void Reset() {
        std::lock_guard l(mutex);
        samples = 0;
        peak = 0;
    }
};

Audio& Captured() {
    static Audio audio;
    return audio;
}

class SpeechEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        UseSpeechMemoryOutput([](const int16_t* s, int n) {
            std::lock_guard l(Captured().mutex);
            Captured().samples += static_cast<size_t>(n);
            for (int i = 0; i < n; ++i)
                Captured().peak = std::max<int16_t>(Captured().peak, static_cast<int16_t>(std::abs(s[i])));
        });
    }
    void SetUp() override { Captured().Reset(); }
};

TEST_F(SpeechEngineTest, MandarinVoiceIsInstalledAndSpeaksIntoMemory) {
    const auto ids = ListVoiceIds();
    EXPECT_NE(std::find(ids.begin(), ids.end(), std::string(kChineseVoiceId)), ids.end());

    std::vector<std::pair<int, int>> words;
    EXPECT_EQ(SpeakText("", 0, Gbk("今天，天气好。"), nullptr,
                        [&](int f, int n) { words.emplace_back(f, n); }),
              SpeakResult::Spoken);
    const size_t chinese = Captured().samples;
    // Well over half a second of audible sound at the engine's rate.
    EXPECT_GT(chinese, static_cast<size_t>(SpeechSampleRate() / 2));
    EXPECT_GT(Captured().peak, 1000);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words.front().first, 0);
    EXPECT_LT(words.back().first, 7);

    EXPECT_EQ(SpeakText("", 0, ""), SpeakResult::Empty);
    // An unknown voice falls back to the default and still speaks.
    Captured().Reset();
    EXPECT_EQ(SpeakText("no/such-voice", 0, "hello"), SpeakResult::Spoken);
    EXPECT_GT(Captured().samples, 1000u);
}

TEST_F(SpeechEngineTest, FasterRateGivesShorterAudioAndCancelStopsEarly) {
    const std::string text = "how are you today my friend";
    SpeakText("en", -10, text);
    const size_t slow = Captured().samples;
    Captured().Reset();
    SpeakText("en", 10, text);
    const size_t fast = Captured().samples;
    EXPECT_GT(slow, fast * 2);

    Captured().Reset();
    std::atomic<bool> cancel{false};
    int seen = 0;
    const SpeakResult r = SpeakText("en", -10, text + " " + text, &cancel, [&](int, int) {
        if (++seen == 2) cancel = true;
    });
    EXPECT_EQ(r, SpeakResult::Cancelled);
    EXPECT_LT(Captured().samples, slow);
}

class RecordingObserver final : public SpeechObserver {
public:
    void UnitStarted(const SpeechUnit& unit) override {
        std::lock_guard l(mutex);
        units.push_back(TrimmedUnitText(unit));
    }
    void WordReached(SpeechPos first, SpeechPos last) override {
        std::lock_guard l(mutex);
        words.emplace_back(first, last);
    }
    void PageFinished() override {
        std::lock_guard l(mutex);
        ++pagesFinished;
        if (onPage) onPage();
    }
    void Finished() override {
        std::lock_guard l(mutex);
        finished = true;
        done.notify_all();
    }
    bool WaitFinished() {
        std::unique_lock l(mutex);
        return done.wait_for(l, std::chrono::seconds(20), [this] { return finished; });
    }
    std::mutex mutex;
    std::condition_variable done;
    std::vector<std::string> units;
    std::vector<std::pair<SpeechPos, SpeechPos>> words;
    int pagesFinished = 0;
    bool finished = false;
    std::function<void()> onPage;
};

TEST_F(SpeechEngineTest, WorkerReadsPageAfterPageUntilStopped) {
    RecordingObserver observer;
    TtsConfig config;
    config.rate = 10;
    SpeechWorker worker(config, SpeechPage(2, 20, {"Hello world", Gbk("你好。")}), observer);
    observer.onPage = [&] {
        // Second page: read on; after it, no more pages.
        if (observer.pagesFinished == 1)
            worker.ContinueWith(SpeechPage(1, 20, {"Bye 42"}));
        else
            worker.Stop();
    };
    worker.Start();
    ASSERT_TRUE(observer.WaitFinished());
    worker.Join();
    const std::vector<std::string> want = {"Hello", "world", Gbk("你好。"), "Bye", "42"};
    std::lock_guard l(observer.mutex);
    // Empty cells after the text are units too, but nothing is spoken for them.
    std::vector<std::string> spoken;
    for (const auto& u : observer.units)
        if (!u.empty()) spoken.push_back(u);
    EXPECT_EQ(spoken, want);
    EXPECT_EQ(observer.pagesFinished, 2);
    EXPECT_GT(Captured().samples, 10000u);
    // Word positions land on the page: the first word event is "Hello" itself.
    ASSERT_FALSE(observer.words.empty());
    EXPECT_EQ(observer.words.front().first, (SpeechPos{0, 0}));
    EXPECT_EQ(observer.words.front().second, (SpeechPos{0, 4}));
}

TEST_F(SpeechEngineTest, StopEndsTheRunWithinTheUnitBeingSpoken) {
    RecordingObserver observer;
    TtsConfig config;
    config.rate = -10;
    const std::string longClause = Gbk("一二三四五六七八九十一二三四五六七八九十。");
    SpeechWorker worker(config, SpeechPage(1, 60, {longClause}), observer);
    worker.Start();
    const auto start = std::chrono::steady_clock::now();
    while (Captured().samples == 0 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    worker.Stop();
    ASSERT_TRUE(observer.WaitFinished());
    worker.Join();
    std::lock_guard l(observer.mutex);
    EXPECT_EQ(observer.pagesFinished, 0);
    EXPECT_FALSE(worker.running());
}

}  // namespace
}  // namespace quillon
