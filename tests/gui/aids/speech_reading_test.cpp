#include <atomic>
#include <chrono>
#include <thread>
#include <memory>

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include "../reader/reader_fixture.h"
#include "core/aids/speech_config.h"
#include "core/aids/speech_engine.h"
#include "core/config/record_file.h"
#include "core/platform/file_io.h"
#include "core/text/gbk_literal.h"
#include "gui/aids/speech_reading.h"
#include "gui/aids/speech_settings_dialog.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/reader/modal_seam.h"

using namespace quillon;
using reader_test::OpenPage;
using reader_test::ProgramHome;

namespace {
std::atomic<size_t> g_samples{0};
std::atomic<bool> g_spokeOnUiThread{false};
std::thread::id g_uiThread;

// Audio in memory comes far faster than it could be heard; paced at eight
// times real time, a run lasts long enough to be watched.
void HearInMemory() {
    UseSpeechMemoryOutput([](const int16_t*, int n) {
        g_samples += static_cast<size_t>(n);
        if (std::this_thread::get_id() == g_uiThread) g_spokeOnUiThread = true;
        std::this_thread::sleep_for(std::chrono::microseconds(n * 1000000LL / (22050 * 8)));
    });
}

int SpokenCells(const ReadingPage& page) {
    int n = 0;
    const PagingModel& m = page.model();
    for (int r = 0; r < m.rows(); ++r)
        for (int c = 0; c <= m.cols(); ++c) n += m.cellGrid().At(r, c).spoken;
    return n;
}

// The bytes of the lit cells, or "?" when they lie on more than one row.
QString LitText(const ReadingPage& page) {
    const PagingModel& m = page.model();
    QString text;
    int row = -1;
    for (int r = 0; r < m.rows(); ++r)
        for (int c = 0; c <= m.cols(); ++c) {
            const Cell& cell = m.cellGrid().At(r, c);
            if (!cell.spoken) continue;
            if (row >= 0 && row != r) return QStringLiteral("?");
            row = r;
            text += QLatin1Char(static_cast<char>(cell.byte));
        }
    return text;
}

// Answers the next settings dialog with its OK button.
void AcceptNextSettings() {
    ModalSeam::QueueDialog([](QDialog*) { return static_cast<int>(QDialog::Accepted); });
}
}  // namespace

class SpeechReadingTest final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        g_uiThread = std::this_thread::get_id();
        HearInMemory();
    }
    void init() {
        home_ = std::make_unique<ProgramHome>();
        g_samples = 0;
    }
    void cleanup() { home_.reset(); }

    void dialogShowsStoredSettingsAndSavesOnStart() {
        std::string raw(512, '\0');
        PutInt32LE(reinterpret_cast<unsigned char*>(raw.data()), 15);
        PutInt32LE(reinterpret_cast<unsigned char*>(raw.data() + 4), 0x00030201);
        PutInt32LE(reinterpret_cast<unsigned char*>(raw.data() + 8), 0x00FFFFFF);
        const std::string longId(400, 'v');
        std::copy(longId.begin(), longId.end(), raw.begin() + 12);
        QVERIFY(WriteWholeFile(home_->Path("data/ttsconfig.dat"), raw));
        QVERIFY(WriteWholeFile(home_->Path("data/main.htm"),
                               "[READER_TTS_README]\r\nline oneNEW_LINEline two\r\n"));

        SpeechSettingsDialog dialog;
        auto* rate = dialog.findChild<QLineEdit*>(QStringLiteral("speechRateEdit"));
        QCOMPARE(rate->text(), QStringLiteral("0"));  // a stored 15 shows 0
        QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("speechBackColourEdit"))->text(),
                 QStringLiteral("RGB(1,2,3)"));
        QCOMPARE(dialog.findChild<QPlainTextEdit*>(QStringLiteral("speechReadme"))->toPlainText(),
                 QStringLiteral("line one\nline two"));
        // The stored voice is not installed: the first listed one is chosen.
        auto* voices = dialog.findChild<QListWidget*>(QStringLiteral("speechVoiceList"));
        QVERIFY(voices->count() > 10);
        QCOMPARE(voices->currentRow(), 0);
        QCOMPARE(FromGbk(dialog.config().voiceId), voices->item(0)->text());
        QCOMPARE(g_samples.load(), size_t{0});  // opening speaks nothing

        // Picking a voice speaks the test text with it, off the interface
        // thread.
        const auto cmn = voices->findItems(FromUtf8(kChineseVoiceId), Qt::MatchExactly);
        QCOMPARE(cmn.size(), 1);
        g_spokeOnUiThread = false;
        voices->setCurrentItem(cmn.front());
        QCOMPARE(dialog.config().voiceId, std::string(kChineseVoiceId));
        QTRY_VERIFY_WITH_TIMEOUT(g_samples.load() > 5000, 10000);
        QVERIFY(!g_spokeOnUiThread);

        ModalSeam::QueueColour(QColor(10, 20, 30));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("speechTextColourButton")),
                          Qt::LeftButton);
        QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("speechTextColourEdit"))->text(),
                 QStringLiteral("RGB(10,20,30)"));

        rate->setText(QStringLiteral("15"));
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("speechStartButton")),
                          Qt::LeftButton);
        QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(FileSize(home_->Path("data/ttsconfig.dat")), 512);
        const TtsConfig saved = LoadTtsConfig(home_->Path("data/ttsconfig.dat"));
        QCOMPARE(saved.rate, 10);
        QCOMPARE(saved.textColour, 0x001E140Au);
        QCOMPARE(saved.background, 0x00030201u);
        QCOMPARE(saved.voiceId, std::string(kChineseVoiceId));
    }

    void firstRunOffersAnEnglishVoice() {
        SpeechSettingsDialog dialog;  // no data/ttsconfig.dat
        auto* voices = dialog.findChild<QListWidget*>(QStringLiteral("speechVoiceList"));
        QVERIFY(voices->currentRow() > 0);
        QVERIFY(voices->currentItem()->text().endsWith(QStringLiteral("/en-US"), Qt::CaseInsensitive));
        QCOMPARE(FromGbk(dialog.config().voiceId), voices->currentItem()->text());
        QCOMPARE(PreferredEnglishVoice({"gmw/af", "gmw/en", "x/EN-us"}), 2);
        QCOMPARE(PreferredEnglishVoice({"gmw/af", "gmw/en"}), 1);
        QCOMPARE(PreferredEnglishVoice({"gmw/af"}), -1);
    }

    void chineseTestSpeaksAndReportsTheAnswer() {
        SpeechSettingsDialog dialog;
        QtMessenger::SetNextAnswer(false);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("speechTestButton")),
                          Qt::LeftButton);
        QVERIFY(g_samples.load() > 5000);
        const QStringList shown = QtMessenger::Shown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.last(), QStringLiteral("系统中阅读插件还未安装，请按下面的提示进行插件安装。"));
    }

    void readsHighlightsTurnsPagesAndStops() {
        // 5 rows a page: three pages of numbered lines.
        auto page = OpenPage(reader_test::NumberedLines(12));
        AttachSpeechReading(*page);
        auto* button = page->findChild<QPushButton*>(QStringLiteral("speechButton"));
        QVERIFY(button->isEnabled());
        // Cancel changes nothing.
        ModalSeam::QueueDialog([](QDialog*) { return static_cast<int>(QDialog::Rejected); });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("语音阅读"));

        AcceptNextSettings();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("停止阅读"));
        // The first unit, "line", is lit on row 0 and its range is its bytes.
        QTRY_VERIFY_WITH_TIMEOUT(SpokenCells(*page) > 0, 5000);
        // What is lit is one whole unit of a row: the word, the space or
        // the number, never a part or a mix of them.
        const QString lit = LitText(*page);
        QVERIFY2(QRegularExpression(QStringLiteral("^(line| |\\d{4})$")).match(lit).hasMatch(),
                 qPrintable(lit));
        QTRY_COMPARE_WITH_TIMEOUT(page->model().topLine(), 5, 15000);
        QVERIFY(g_samples.load() > 10000);
        QTRY_VERIFY_WITH_TIMEOUT(page->model().spokenTo > page->model().spokenFrom, 5000);
        QVERIFY(page->model().spokenFrom >= page->model().topOffset());

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("语音阅读"));
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 5000);
        QCOMPARE(SpokenCells(*page), 0);
        QCOMPARE(page->model().topLine(), 5);
    }

    void turningThePageByHandReadsThePageShown() {
        // Page 1 has long rows, page 2 one letter per row: a unit of page 1
        // lit on page 2 would land past column 0.
        std::string text = reader_test::NumberedLines(5);
        for (int i = 0; i < 5; ++i) text += "x\r\n";
        text += reader_test::NumberedLines(5);
        auto page = OpenPage(text);
        AttachSpeechReading(*page);
        AcceptNextSettings();
        QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("speechButton")),
                          Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(SpokenCells(*page) > 0, 5000);
        QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("nextPageButton")),
                          Qt::LeftButton);
        QCOMPARE(page->model().topLine(), 5);
        int seen = 0;
        for (int i = 0; i < 60 && page->model().topLine() == 5; ++i) {
            QTest::qWait(5);
            const PagingModel& m = page->model();
            if (m.topLine() != 5) break;
            for (int r = 0; r < m.rows(); ++r)
                for (int c = 1; c <= m.cols(); ++c)
                    QVERIFY2(!m.cellGrid().At(r, c).spoken, "a unit of the old page is lit");
            seen += m.cellGrid().At(0, 0).spoken + m.cellGrid().At(1, 0).spoken;
        }
        QVERIFY(seen > 0);
    }

    void endsByItselfAtTheEndOfTheBook() {
        auto page = OpenPage("short text");
        SpeechReading* speech = AttachSpeechReading(*page);
        auto* button = page->findChild<QPushButton*>(QStringLiteral("speechButton"));
        QSignalSpy done(speech, &SpeechReading::finished);
        AcceptNextSettings();
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(done.wait(15000));
        QCOMPARE(button->text(), QStringLiteral("语音阅读"));
        QVERIFY(button->isEnabled());
        QVERIFY(g_samples.load() > 5000);
        QCOMPARE(page->model().topLine(), 0);
    }

    void closingThePageStopsReading() {
        auto page = OpenPage(reader_test::NumberedLines(40));
        AttachSpeechReading(*page);
        AcceptNextSettings();
        QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("speechButton")),
                          Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(SpokenCells(*page) > 0, 5000);
        page.reset();  // joins the worker; its late reports go nowhere
        const size_t after = g_samples.load();
        QTest::qWait(200);
        QCOMPARE(g_samples.load(), after);
    }

    // Last of all: once the engine has tried the sound device, switching it
    // back to memory output can hang inside the engine.
    void withoutSoundOutputReadingSaysWhyAndStaysUsable() {
        UseSpeechSoundDevice();
        if (SpeakText("", 0, "a") == SpeakResult::Spoken)
            QSKIP("this machine has a working sound output");
        auto page = OpenPage("some text to read");
        SpeechReading* speech = AttachSpeechReading(*page);
        auto* button = page->findChild<QPushButton*>(QStringLiteral("speechButton"));
        QSignalSpy done(speech, &SpeechReading::finished);
        AcceptNextSettings();
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(done.wait(10000));
        QVERIFY(QtMessenger::Shown().contains(QStringLiteral("无法播放声音：没有可用的音频输出")));
        QVERIFY(button->isEnabled());
        QCOMPARE(button->text(), QStringLiteral("语音阅读"));
    }

private:
    std::unique_ptr<ProgramHome> home_;
};

QTEST_MAIN(SpeechReadingTest)
#include "speech_reading_test.moc"
