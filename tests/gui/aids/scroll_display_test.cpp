#include "gui/aids/scroll_display.h"

#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include "core/aids/scroll_page.h"
#include "core/text/gbk_codec.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/web_engine_setup.h"
#include "gui/reader/modal_seam.h"
#include "gui/reader/reading_font.h"
#include "gui/reader/reading_page.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/reading_panel.h"

using namespace quillon;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray ToBytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// Runs `script` in the page and waits for its value.
QVariant Eval(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000)) return QStringLiteral("<no answer>");
    return result;
}

bool WaitForScrollPage(BrowserPage* tab) {
    return QTest::qWaitFor(
        [&] {
            return Eval(tab->webPage(), QStringLiteral("typeof Quillon_Play")).toString() ==
                   QStringLiteral("function");
        },
        20000);
}

// A hostile book: markup, an entity spelled out, a placeholder name, spaces
// and enough lines to scroll.
std::string SampleBookText() {
    std::string text = Utf8ToGbk(
        "第一章 a < b\r\n\r\n<script>document.title='pwned'</script>"
        "<img src=x onerror=\"document.title='img'\">&lt;***---SCROLL_STEP---***\r\n");
    for (int i = 0; i < 300; ++i) text += Utf8ToGbk("又一行正文\r\n");
    return text;
}

}  // namespace

class ScrollDisplayTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<CMainFrame> frame_;

    QString HomeFile(const QString& name) const { return home_.filePath(name); }

    ReadingPage* OpenReadingTab() {
        BrowserPage* page = frame_->OpenTab(QStringLiteral("about:blank"), true);
        if (!page || page->OpenBook(QStringLiteral("x")) != 0) return nullptr;
        return qobject_cast<ReadingPage*>(page->readingPanel());
    }

    // Presses the reading page's scroll display button; the new tab.
    BrowserPage* PressScrollButton(ReadingPage* reading) {
        const int before = frame_->PageCount();
        auto* button = reading->findChild<QPushButton*>(QStringLiteral("scrollButton"));
        if (!button || !button->isEnabled()) return nullptr;
        QTest::mouseClick(button, Qt::LeftButton);
        if (frame_->PageCount() != before + 1) return nullptr;
        return frame_->CurrentPage();
    }

    static ScrollControlBar* Bar(BrowserPage* tab) {
        return qobject_cast<ScrollControlBar*>(tab->topBar());
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("QUILLON_HOME", home_.path().toUtf8());
        WriteFile(HomeFile(QStringLiteral("data/main.htm")),
                  "[MAIN_URL]\r\nabout:blank\r\n[AD_HEIGHT2]\r\n0\r\n"
                  "[HOME_PAGE_URL]\r\nhttp://127.0.0.1:9/home\r\n");
        QFile shipped(QStringLiteral(QUILLON_TEST_DATA "/../../data/scroll.html"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        WriteFile(HomeFile(QStringLiteral("data/scroll.html")), shipped.readAll());
        WriteFile(HomeFile(QStringLiteral("book/x.txt")), ToBytes(SampleBookText()));
        StartApplication();
        QtMessenger::SetTestMode(true);
        RegisterReadingPanel();
        RegisterScrollDisplay();
        frame_ = std::make_unique<CMainFrame>();
        frame_->resize(1000, 640);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }

    void cleanupTestCase() { frame_.reset(); }

    void init() {
        QtMessenger::Shown().clear();
        ModalSeam::ClearAnswers();
    }

    void scrollButtonShowsTheBookStyledAndInertInANewTab() {
        ReadingPage* reading = OpenReadingTab();
        QVERIFY(reading);
        DisplaySettings settings = reading->settings();
        settings.textColour = 0x001000FF;
        settings.backColour = 0x00302010;
        settings.lineSpacing = 33;
        reading->ApplyDisplaySettings(settings);

        const int number = ScrollPageCounter();
        BrowserPage* tab = PressScrollButton(reading);
        QVERIFY(tab);
        QCOMPARE(tab->Title(), QStringLiteral("x_滚动显示"));
        QVERIFY(Bar(tab));
        QCOMPARE(tab->topBar()->geometry(), QRect(0, 0, tab->width(), BrowserPage::kTopBarHeight));
        QCOMPARE(tab->browser()->geometry().top(), BrowserPage::kTopBarHeight);

        const QString file = HomeFile(QStringLiteral("data/tmp/%1.html").arg(number));
        QVERIFY(QFile::exists(file));
        QCOMPARE(tab->browser()->url(), QUrl::fromLocalFile(file));
        QVERIFY(WaitForScrollPage(tab));

        QWebEnginePage* page = tab->webPage();
        const QString book = QStringLiteral("document.getElementById('book')");
        QCOMPARE(Eval(page, QStringLiteral("getComputedStyle(%1).color").arg(book)).toString(),
                 QStringLiteral("rgb(255, 0, 16)"));
        QCOMPARE(Eval(page, QStringLiteral("getComputedStyle(document.body).backgroundColor"))
                     .toString(),
                 QStringLiteral("rgb(16, 32, 48)"));
        QCOMPARE(Eval(page, QStringLiteral("getComputedStyle(%1).lineHeight").arg(book)).toString(),
                 QStringLiteral("33px"));
        // The reading font's pixel height of "中国", whatever face it falls
        // back to on this machine.
        const int fontPixels =
            QFontMetrics(FontFromRecord(settings.font)).size(0, QStringLiteral("中国")).height();
        QVERIFY(fontPixels > 0);
        QCOMPARE(Eval(page, QStringLiteral("getComputedStyle(%1).fontSize").arg(book)).toString(),
                 QStringLiteral("%1px").arg(fontPixels));
        // "宋体" reaches the page as the installed Song-style face, not as
        // whatever sans-serif face fontconfig falls back to. Latin glyphs
        // tell the faces apart by width.
        const QString widthIn = QStringLiteral(
            "(function(f){var s=document.createElement('span');s.style.fontFamily=f;"
            "s.style.fontSize='40px';s.textContent='Wide Mill iii 0123';document.body.appendChild(s);"
            "var w=s.getBoundingClientRect().width;s.remove();return w;})(\"%1\")");
        const double song = Eval(page, widthIn.arg(QStringLiteral("宋体"))).toDouble();
        const double simsun = Eval(page, widthIn.arg(QStringLiteral("SimSun"))).toDouble();
        const double uming = Eval(page, widthIn.arg(QStringLiteral("AR PL UMing CN"))).toDouble();
        const double sans = Eval(page, widthIn.arg(QStringLiteral("sans-serif"))).toDouble();
        QVERIFY(uming > 0);
        QVERIFY(qAbs(uming - sans) > 1);
        QCOMPARE(song, uming);
        QCOMPARE(simsun, uming);
        // The book's markup stays text: no element but the line breaks, no
        // script ran, and the text reads back as written.
        QCOMPARE(
            Eval(page, QStringLiteral("%1.querySelectorAll(':not(br)').length").arg(book)).toInt(),
            0);
        QCOMPARE(Eval(page, QStringLiteral("%1.querySelectorAll('br').length").arg(book)).toInt(),
                 303);
        QCOMPARE(Eval(page, QStringLiteral("document.title")).toString(), QStringLiteral("x"));
        QString expected = QString::fromStdString(GbkToUtf8(SampleBookText()));
        expected.remove(QStringLiteral("\r\n")).replace(QLatin1Char(' '), QChar(0xA0));
        QCOMPARE(Eval(page, QStringLiteral("%1.textContent").arg(book)).toString(), expected);

        // A second display takes the next file.
        BrowserPage* second = PressScrollButton(reading);
        QVERIFY(second);
        QCOMPARE(second->browser()->url(),
                 QUrl::fromLocalFile(HomeFile(QStringLiteral("data/tmp/%1.html").arg(number + 1))));
    }

    void barStartsStopsAndSetsTheScroll() {
        ReadingPage* reading = OpenReadingTab();
        QVERIFY(reading);
        BrowserPage* tab = PressScrollButton(reading);
        QVERIFY(tab);
        QVERIFY(WaitForScrollPage(tab));
        ScrollControlBar* bar = Bar(tab);
        QWebEnginePage* page = tab->webPage();
        QVERIFY(bar->startButton()->isEnabled());
        QVERIFY(!bar->stopButton()->isEnabled());

        QTest::mouseClick(bar->startButton(), Qt::LeftButton);
        QVERIFY(!bar->startButton()->isEnabled());
        QVERIFY(bar->stopButton()->isEnabled());
        QVERIFY(QTest::qWaitFor(
            [&] { return Eval(page, QStringLiteral("window.scrollY")).toDouble() > 4; }, 10000));

        QTest::mouseClick(bar->stopButton(), Qt::LeftButton);
        QVERIFY(bar->startButton()->isEnabled());
        QVERIFY(!bar->stopButton()->isEnabled());
        QCOMPARE(Eval(page, QStringLiteral("Quillon_timer === null")).toBool(), true);
        const double stopped = Eval(page, QStringLiteral("window.scrollY")).toDouble();
        QTest::qWait(400);
        QCOMPARE(Eval(page, QStringLiteral("window.scrollY")).toDouble(), stopped);

        // Values below 1 are sent as the defaults; the close button changes
        // nothing.
        auto answer = [](const char* sleep, const char* step, bool save) {
            ModalSeam::QueueDialog([=](QDialog* d) {
                auto* dialog = qobject_cast<ScrollSettingsDialog*>(d);
                if (!dialog) return int(QDialog::Rejected);
                dialog->sleepEdit()->setText(QLatin1String(sleep));
                dialog->stepEdit()->setText(QLatin1String(step));
                QTest::mouseClick(save ? dialog->saveButton() : dialog->closeButton(),
                                  Qt::LeftButton);
                return dialog->result();
            });
        };
        const QString options = QStringLiteral("Quillon_sleepTime + ',' + Quillon_step");
        answer("0", "-5", true);
        QTest::mouseClick(bar->settingsButton(), Qt::LeftButton);
        QVERIFY(!ModalSeam::HasPendingAnswers());
        QCOMPARE(ProgramScrollOptions().sleepTime, 100);
        QCOMPARE(ProgramScrollOptions().step, 2);
        QCOMPARE(Eval(page, options).toString(), QStringLiteral("100,2"));

        answer("30ms", "7", true);
        QTest::mouseClick(bar->settingsButton(), Qt::LeftButton);
        QCOMPARE(Eval(page, options).toString(), QStringLiteral("30,7"));

        answer("999", "99", false);
        QTest::mouseClick(bar->settingsButton(), Qt::LeftButton);
        QVERIFY(!ModalSeam::HasPendingAnswers());
        QCOMPARE(Eval(page, options).toString(), QStringLiteral("30,7"));
        QCOMPARE(ProgramScrollOptions().sleepTime, 30);

        // The dialog opens on the current values, and a new page starts with
        // them.
        QString shownSleep;
        ModalSeam::QueueDialog([&](QDialog* d) {
            shownSleep = static_cast<ScrollSettingsDialog*>(d)->sleepEdit()->text();
            return int(QDialog::Rejected);
        });
        QTest::mouseClick(bar->settingsButton(), Qt::LeftButton);
        QCOMPARE(shownSleep, QStringLiteral("30"));
        BrowserPage* next = PressScrollButton(reading);
        QVERIFY(next && WaitForScrollPage(next));
        QCOMPARE(Eval(next->webPage(), options).toString(), QStringLiteral("30,7"));
    }

    void buttonsSwitchEvenWhenThePageCannotTakeTheCall() {
        BrowserPage* tab = frame_->OpenTab(QStringLiteral("about:blank"), true);
        QVERIFY(tab);
        QCOMPARE(tab->OpenScrollDisplay(QStringLiteral("t"), std::string()), 0);
        // Not loaded yet, and about:blank has no such function either way.
        tab->browser()->setUrl(QUrl(QStringLiteral("about:blank")));
        ScrollControlBar* bar = Bar(tab);
        QVERIFY(bar);
        bar->Play();
        QVERIFY(bar->stopButton()->isEnabled());
        QVERIFY(!bar->startButton()->isEnabled());
        bar->Stop();
        QVERIFY(!bar->stopButton()->isEnabled());
        QVERIFY(bar->startButton()->isEnabled());
        // A second display in the same tab keeps its bar.
        QCOMPARE(tab->OpenScrollDisplay(QStringLiteral("u"), std::string("x")), 0);
        QCOMPARE(Bar(tab), bar);
        QCOMPARE(tab->Title(), QStringLiteral("u_滚动显示"));
    }

    void fullScreenButtonDrivesTheFrame() {
        BrowserPage* tab = frame_->OpenTab(QStringLiteral("about:blank"), true);
        tab->OpenScrollDisplay(QStringLiteral("t"), std::string("x"));
        QPushButton* button = Bar(tab)->fullScreenButton();
        QCOMPARE(button->text(), QStringLiteral("全屏显示"));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(frame_->IsFullScreen());
        QCOMPARE(button->text(), QStringLiteral("正常显示"));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!frame_->IsFullScreen());
        QCOMPARE(button->text(), QStringLiteral("全屏显示"));
    }

    void missingTemplateIsReportedAndNothingIsShown() {
        ReadingPage* reading = OpenReadingTab();
        QVERIFY(reading);
        const QString templ = HomeFile(QStringLiteral("data/scroll.html"));
        const QString aside = HomeFile(QStringLiteral("data/scroll.aside"));
        QVERIFY(QFile::rename(templ, aside));
        const int number = ScrollPageCounter();
        BrowserPage* tab = PressScrollButton(reading);
        QVERIFY(QFile::rename(aside, templ));
        QVERIFY(tab);
        QCOMPARE(QtMessenger::Shown().size(), 1);
        QCOMPARE(
            QtMessenger::Shown().first(),
            QStringLiteral("找不到相关文件,请重启后再试,如多次重试仍不正常,请从官网下载最新版本.\n"
                           "http://127.0.0.1:9/home"));
        QCOMPARE(ScrollPageCounter(), number);
        QVERIFY(!QFile::exists(HomeFile(QStringLiteral("data/tmp/%1.html").arg(number))));
        QVERIFY(tab->browser()->url().isEmpty() ||
                tab->browser()->url() == QUrl(QStringLiteral("about:blank")));
        QCOMPARE(tab->Title(), QStringLiteral("x_滚动显示"));
    }
};

int main(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    ScrollDisplayTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "scroll_display_test.moc"
