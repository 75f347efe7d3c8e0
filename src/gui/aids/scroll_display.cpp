#include "gui/aids/scroll_display.h"

#include <algorithm>

#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QWebEngineView>

#include "core/aids/scroll_page.h"
#include "core/config/tag_file.h"
#include "core/platform/program_folder.h"
#include "core/reader/paging_model.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"
#include "gui/app/bar_button.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/app/ui_fonts.h"
#include "gui/reader/modal_seam.h"
#include "gui/reader/reading_font.h"
#include "gui/reader/reading_page.h"
#include "gui/shell/browser_page.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/panel_factories.h"

namespace quillon {

namespace {

constexpr int kButtonX = 5;
constexpr int kButtonY = 4;
constexpr int kButtonGap = 3;
constexpr int kButtonHeight = 22;

const QString kFullScreenCaption = FullScreenCaption();
const QString kNormalCaption = NormalCaption();

// Wide enough for either caption of the full-screen button, so the bar does
// not move when it switches.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    return MakeBarButton(parent, name, caption, 16, 60, kButtonHeight);
}

// The pixel height of "中国" in the reading font, as the page's font size.
int ReadingFontPixelSize(const FontRecord& record) {
    const QFontMetrics metrics(FontFromRecord(record));
    return metrics.size(Qt::TextSingleLine, QStringLiteral("中国")).height();
}

void TellTemplateMissing(QWidget* parent) {
    std::string text = Gbk("找不到相关文件,请重启后再试,如多次重试仍不正常,请从官网下载最新版本.");
    TagFile tags;
    tags.Open(GetProgramFolder() + "data/main.htm");
    const std::string site(TrimAscii(tags.GetValue("[HOME_PAGE_URL]")));
    // The shipped default points nowhere; a line reading about:blank would
    // send the user nowhere either.
    if (!site.empty() && !EqualsIgnoreCase(site, "about:blank")) text += "\n" + site;
    QtMessenger(parent).Inform(text, MessageKind::Warning);
}

}  // namespace

// ---------------------------------------------------------------------------

ScrollControlBar::ScrollControlBar(BrowserPage* host) : QWidget(host), host_(host) {
    setObjectName(QStringLiteral("scrollControlBar"));
    start_ = MakeButton(this, "startScrollButton", QStringLiteral("开始滚动显示"));
    stop_ = MakeButton(this, "stopScrollButton", QStringLiteral("停止滚动显示"));
    settings_ = MakeButton(this, "scrollSettingsButton", QStringLiteral("滚动参数设置"));
    fullScreen_ = MakeButton(this, "scrollFullScreenButton", kFullScreenCaption);
    int x = kButtonX;
    for (QPushButton* b : {start_, stop_, settings_, fullScreen_}) {
        b->move(x, kButtonY);
        x += b->width() + kButtonGap;
    }
    stop_->setEnabled(false);
    connect(start_, &QPushButton::clicked, this, &ScrollControlBar::Play);
    connect(stop_, &QPushButton::clicked, this, &ScrollControlBar::Stop);
    connect(settings_, &QPushButton::clicked, this, &ScrollControlBar::OpenSettings);
    connect(fullScreen_, &QPushButton::clicked, this, &ScrollControlBar::ToggleFullScreen);
}

void ScrollControlBar::RunScript(const QString& statement) {
    if (host_ && host_->webPage()) host_->webPage()->runJavaScript(statement);
}

void ScrollControlBar::Play() {
    RunScript(QStringLiteral("Quillon_Play();"));
    stop_->setEnabled(true);
    start_->setEnabled(false);
}

void ScrollControlBar::Stop() {
    RunScript(QStringLiteral("Quillon_Stop();"));
    stop_->setEnabled(false);
    start_->setEnabled(true);
}

void ScrollControlBar::OpenSettings() {
    ScrollSettingsDialog dialog(this);
    if (ModalSeam::Exec(&dialog) != QDialog::Accepted) return;
    ScrollOptions& options = ProgramScrollOptions();
    options.ApplyDefaults();
    RunScript(QString::fromStdString(ScrollOptionScript(options)));
}

void ScrollControlBar::ToggleFullScreen() {
    CMainFrame* frame = host_ ? host_->frame() : nullptr;
    if (fullScreen_->text() == kFullScreenCaption) {
        fullScreen_->setText(kNormalCaption);
        if (frame) frame->EnterFullScreen();
    } else {
        fullScreen_->setText(kFullScreenCaption);
        if (frame) frame->LeaveFullScreen();
    }
}

void ScrollControlBar::SyncFullScreenCaption() {
    // The frame may have left full-screen mode from another tab; the
    // host lays the bar out again whenever the frame changes size.
    CMainFrame* frame = host_ ? host_->frame() : nullptr;
    if (frame) fullScreen_->setText(frame->IsFullScreen() ? kNormalCaption : kFullScreenCaption);
}

void ScrollControlBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    SyncFullScreenCaption();
}

// ---------------------------------------------------------------------------

ScrollSettingsDialog::ScrollSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("scrollSettingsDialog"));
    setWindowTitle(QStringLiteral("显示参数设置"));
    setFont(UiFont(0));
    const ScrollOptions& options = ProgramScrollOptions();
    sleep_ = new QLineEdit(QString::number(options.sleepTime), this);
    sleep_->setObjectName(QStringLiteral("sleepTimeEdit"));
    step_ = new QLineEdit(QString::number(options.step), this);
    step_->setObjectName(QStringLiteral("stepEdit"));
    save_ = new QPushButton(QStringLiteral("保存参数"), this);
    save_->setObjectName(QStringLiteral("saveButton"));
    close_ = new QPushButton(QStringLiteral("关闭"), this);
    close_->setObjectName(QStringLiteral("closeButton"));

    auto* form = new QFormLayout(this);
    auto* sleepRow = new QHBoxLayout;
    sleepRow->addWidget(sleep_);
    sleepRow->addWidget(new QLabel(QStringLiteral("单位:毫秒(1秒等于1000毫秒)"), this));
    form->addRow(QStringLiteral("暂停时间:"), sleepRow);
    auto* stepRow = new QHBoxLayout;
    stepRow->addWidget(step_);
    stepRow->addWidget(new QLabel(QStringLiteral("象素"), this));
    form->addRow(QStringLiteral("滚动间距:"), stepRow);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(close_);
    form->addRow(buttons);

    connect(save_, &QPushButton::clicked, this, &ScrollSettingsDialog::Save);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

void ScrollSettingsDialog::Save() {
    ScrollOptions& options = ProgramScrollOptions();
    options.sleepTime = ParseLeadingInt(sleep_->text().toStdString());
    options.step = ParseLeadingInt(step_->text().toStdString());
    accept();
}

// ---------------------------------------------------------------------------

QWidget* OpenScrollPage(BrowserPage* host, QWidget* topBar, const QString& title,
                        std::string_view gbkText) {
    if (!host) return topBar;
    host->SetTitle(title + QStringLiteral("_滚动显示"));
    QWidget* bar = topBar ? topBar : new ScrollControlBar(host);

    const ScrollStyle& style = ProgramScrollStyle();
    ScrollPageContent content;
    content.title = ToGbk(title);
    content.text = gbkText;
    content.fontSize = ReadingFontPixelSize(style.font);
    content.fontFamily = style.font.Face();
    std::string path;
    switch (WriteScrollPage(GetProgramFolder(), ProgramScrollOptions(), style, content, path)) {
        case ScrollPageResult::NoTemplate:
            TellTemplateMissing(host);
            break;
        case ScrollPageResult::NotWritten:
            break;
        case ScrollPageResult::Written:
            host->browser()->setUrl(QUrl::fromLocalFile(FromUtf8(path)));
            break;
    }
    return bar;
}

BrowserPage* StartScrollDisplay(const ReadingPage& page, CMainFrame& frame) {
    const DisplaySettings& settings = page.settings();
    ScrollStyle& style = ProgramScrollStyle();
    style.textColour = settings.textColour;
    style.backColour = settings.backColour;
    style.lineHeight = settings.lineSpacing;
    style.font = settings.font;
    BrowserPage* tab = frame.OpenBlankTab();
    if (tab) tab->OpenScrollDisplay(FromGbk(page.bookName()), page.model().text());
    return tab;
}

void RegisterScrollDisplay() { SetScrollDisplayOpener(&OpenScrollPage); }

}  // namespace quillon
