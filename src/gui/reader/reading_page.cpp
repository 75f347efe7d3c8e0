#include "gui/reader/reading_page.h"

#include <algorithm>
#include <ctime>
#include <set>

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWheelEvent>

#include "core/config/tag_file.h"
#include "core/platform/program_folder.h"
#include "core/reader/find_in_book.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"
#include "gui/app/bar_button.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/app/ui_fonts.h"
#include "gui/reader/add_bookmark_dialog.h"
#include "gui/reader/auto_turn_dialog.h"
#include "gui/reader/chapter_list_dialog.h"
#include "gui/reader/display_settings_dialog.h"
#include "gui/reader/find_dialog.h"
#include "gui/reader/modal_seam.h"
#include "gui/reader/page_selection.h"
#include "gui/reader/page_text_dialog.h"
#include "gui/reader/reading_font.h"

namespace quillon {

namespace {

const QColor kPageBackground(240, 240, 240);
constexpr int kBarX = 5;
constexpr int kBarY = 4;
constexpr int kBarGap = 3;
constexpr int kBarHeight = 22;
constexpr int kBottomBarHeight = 20;
constexpr int kExplainWidth = 150;
// Long enough to outlast the gap between two resize events of a window
// drag, short enough that the page settles as soon as the drag pauses.
constexpr int kRelayoutDelayMs = 60;
// Bytes of text cut into lines per slice while a book's line table is
// completed between events: a few milliseconds, so keys and paints stay
// prompt.
constexpr size_t kSplitSliceBytes = 8u << 20;

// The encodings the user can choose, in the order "编码" lists them.
constexpr BookEncoding kChoosable[] = {BookEncoding::kAuto,    BookEncoding::kGbk,
                                       BookEncoding::kGb18030, BookEncoding::kBig5,
                                       BookEncoding::kUtf8,    BookEncoding::kUtf16Le,
                                       BookEncoding::kUtf16Be};
// A reader who stays on a page this long has read to it.
constexpr int kPositionSaveDelayMs = 1500;
constexpr int kWheelNotch = 120;
// Books above this size have their headings found on a thread of their own,
// so the first page shows without waiting for the scan.
constexpr size_t kBackgroundChapterBytes = 4u << 20;

const QString kFullScreenCaption = FullScreenCaption();
const QString kNormalCaption = NormalCaption();

// Buttons keep their own size; the bar only places them.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    return MakeBarButton(parent, name, caption, 10, 32, kBarHeight);
}

}  // namespace

ReadingPage::ReadingPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("readingPage"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(200, 120);

    settings_ = LoadDisplaySettings();
    ApplyStyle();
    BuildButtonBar();

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setFont(UiFont(0));
    statusLine_->setFrameShape(QFrame::Panel);
    statusLine_->setFrameShadow(QFrame::Sunken);
    statusLine_->setTextFormat(Qt::PlainText);
    wordPanel_ = new QLabel(this);
    wordPanel_->setObjectName(QStringLiteral("wordPanel"));
    wordPanel_->setTextFormat(Qt::PlainText);
    wordPanel_->setEnabled(false);
    wordPanel_->hide();
    explainButton_ = new QPushButton(QStringLiteral("显示单词详细解释"), this);
    explainButton_->setObjectName(QStringLiteral("wordExplainButton"));
    explainButton_->setFont(UiFont(0));
    explainButton_->setAutoDefault(false);
    explainButton_->setEnabled(false);
    explainButton_->hide();

    PickPicture();
    ReadTagFile();
    doubleClicking_ = 0;

    autoTurnTimer_.setObjectName(QStringLiteral("autoTurnTimer"));
    connect(&autoTurnTimer_, &QTimer::timeout, this, &ReadingPage::NextPageCommand);
    relayoutTimer_.setSingleShot(true);
    relayoutTimer_.setInterval(kRelayoutDelayMs);
    connect(&relayoutTimer_, &QTimer::timeout, this, &ReadingPage::RelayoutNow);
    splitTimer_.setObjectName(QStringLiteral("splitTimer"));
    splitTimer_.setInterval(0);
    connect(&splitTimer_, &QTimer::timeout, this, &ReadingPage::SplitSlice);
    resume_ = ResumeSettings::Load();
    positionTimer_.setSingleShot(true);
    positionTimer_.setInterval(kPositionSaveDelayMs);
    connect(&positionTimer_, &QTimer::timeout, this, &ReadingPage::SavePosition);

    qApp->installEventFilter(this);
    LayOutBottomBar();
}

ReadingPage::~ReadingPage() {
    chapterSearch_.Cancel();
    qApp->removeEventFilter(this);
    positionTimer_.stop();
    SavePosition();
}

void ReadingPage::BuildButtonBar() {
    settingsButton_ = MakeButton(this, "settingsButton", QStringLiteral("参数设置"));
    scrollButton_ = MakeButton(this, "scrollButton", QStringLiteral("滚动显示"));
    fullScreenButton_ = MakeButton(this, "fullScreenButton", kFullScreenCaption);
    bookmarkCombo_ = new QComboBox(this);
    bookmarkCombo_->setObjectName(QStringLiteral("bookmarkCombo"));
    bookmarkCombo_->setFont(UiFont(0));
    bookmarkCombo_->setFixedSize(120, kBarHeight);
    bookmarkCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    addBookmarkButton_ = MakeButton(this, "addBookmarkButton", QStringLiteral("增加书签"));
    deleteBookmarkButton_ = MakeButton(this, "deleteBookmarkButton", QStringLiteral("删除书签"));
    speechButton_ = MakeButton(this, "speechButton", QStringLiteral("语音阅读"));
    pageTextButton_ = MakeButton(this, "pageTextButton", QStringLiteral("查看本页"));
    autoTurnButton_ = MakeButton(this, "autoTurnButton", QStringLiteral("自动翻页"));
    findButton_ = MakeButton(this, "findButton", QStringLiteral("查找"));
    firstButton_ = MakeButton(this, "firstPageButton", QStringLiteral("|<<首页"));
    lastButton_ = MakeButton(this, "lastPageButton", QStringLiteral("尾页>>|"));
    prevButton_ = MakeButton(this, "prevPageButton", QStringLiteral("<-上一页"));
    nextButton_ = MakeButton(this, "nextPageButton", QStringLiteral("下一页->"));
    pageNumberEdit_ = new QLineEdit(QStringLiteral("0"), this);
    pageNumberEdit_->setObjectName(QStringLiteral("pageNumberEdit"));
    pageNumberEdit_->setFont(UiFont(0));
    pageNumberEdit_->setFixedSize(44, kBarHeight);
    goButton_ = MakeButton(this, "goPageButton", QStringLiteral("翻页"));
    // Wider than its caption alone: the style draws the menu's arrow inside.
    encodingButton_ = MakeBarButton(this, "encodingButton", QStringLiteral("编码"), 26, 32, kBarHeight);
    auto* menu = new QMenu(encodingButton_);
    menu->setObjectName(QStringLiteral("encodingMenu"));
    auto* group = new QActionGroup(menu);
    for (BookEncoding e : kChoosable) {
        QAction* action = menu->addAction(e == BookEncoding::kAuto ? QStringLiteral("自动")
                                                                   : QString::fromLatin1(BookEncodingName(e)));
        action->setCheckable(true);
        group->addAction(action);
        encodingActions_ << action;
        connect(action, &QAction::triggered, this,
                [this, e] { ApplyTextChoice({e, textChoice_.toSimplified}); });
    }
    menu->addSeparator();
    simplifiedAction_ = menu->addAction(QStringLiteral("繁体转简体"));
    simplifiedAction_->setCheckable(true);
    connect(simplifiedAction_, &QAction::triggered, this,
            [this](bool on) { ApplyTextChoice({textChoice_.encoding, on}); });
    encodingButton_->setMenu(menu);
    ShowTextChoice();
    chapterButton_ = MakeButton(this, "chapterListButton", QStringLiteral("目录"));

    // Speech comes with its own subsystem; until then it holds its place so
    // the bar does not move when it arrives.
    speechButton_->setEnabled(false);

    bar_ = {settingsButton_,    scrollButton_,         fullScreenButton_, bookmarkCombo_,
            addBookmarkButton_, deleteBookmarkButton_, speechButton_,     pageTextButton_,
            autoTurnButton_,    findButton_,           firstButton_,      lastButton_,
            prevButton_,        nextButton_,           pageNumberEdit_,   goButton_,
            encodingButton_,    chapterButton_};
    LayOutButtonBar();

    connect(settingsButton_, &QPushButton::clicked, this, &ReadingPage::OpenSettingsDialog);
    connect(fullScreenButton_, &QPushButton::clicked, this, &ReadingPage::ToggleFullScreen);
    connect(scrollButton_, &QPushButton::clicked, this, &ReadingPage::scrollDisplayRequested);
    connect(bookmarkCombo_, &QComboBox::activated, this, &ReadingPage::JumpToBookmark);
    connect(addBookmarkButton_, &QPushButton::clicked, this, &ReadingPage::AddBookmark);
    connect(deleteBookmarkButton_, &QPushButton::clicked, this, &ReadingPage::DeleteBookmark);
    connect(pageTextButton_, &QPushButton::clicked, this, &ReadingPage::ShowPageText);
    connect(autoTurnButton_, &QPushButton::clicked, this, &ReadingPage::OpenAutoTurnDialog);
    connect(findButton_, &QPushButton::clicked, this, &ReadingPage::OpenFindDialog);
    connect(firstButton_, &QPushButton::clicked, this, &ReadingPage::FirstPageCommand);
    connect(lastButton_, &QPushButton::clicked, this, &ReadingPage::LastPageCommand);
    connect(prevButton_, &QPushButton::clicked, this, &ReadingPage::PrevPageCommand);
    connect(nextButton_, &QPushButton::clicked, this, &ReadingPage::NextPageCommand);
    connect(goButton_, &QPushButton::clicked, this, &ReadingPage::GoToPageCommand);
    connect(chapterButton_, &QPushButton::clicked, this, &ReadingPage::OpenChapterList);
    RefreshBookmarkList(0);
}

void ReadingPage::LayOutButtonBar() {
    // The bar is wider than a window of the default size. Rather than cut
    // off its last controls (the page-number field and the go-to-page
    // button among them), a narrow page continues it, in the same order and
    // spacing, on further rows, and the drawing area moves down below them.
    const int limit = width() - kBarX;
    int x = kBarX;
    int y = kBarY;
    for (QWidget* w : bar_) {
        if (x > kBarX && x + w->width() > limit) {
            x = kBarX;
            y += kBarHeight + kBarGap;
        }
        w->move(x, y);
        x += w->width() + kBarGap;
    }
    contentTop_ = y - kBarY;
}

QSize ReadingPage::ContentSize() const {
    return QSize(width(), std::max(0, height() - contentTop_));
}

QRect ReadingPage::BandOnScreen() const {
    return PageBand(ContentSize()).translated(0, contentTop_);
}

void ReadingPage::ReadTagFile() {
    adHeight_ = 10;
    topUrl_.clear();
    RawTagReader reader;
    if (reader.Open(GetProgramFolder() + "data/main.htm") != 0) return;
    std::string line;
    if (reader.FindKey("[AD_HEIGHT2]", line) == 0 && reader.NextValue(line) == 0)
        adHeight_ = ParseLeadingInt(line);
    reader.Rewind();
    if (reader.FindKey("[NOVEL_TOP_URL2]", line) == 0 && reader.NextValue(line) == 0)
        topUrl_ = std::string(TrimAscii(line));
}

// ---- Host side ----

void ReadingPage::SetText(std::string bytes) {
    SetText(std::make_shared<const BookText>(std::move(bytes)));
}

void ReadingPage::SetText(std::shared_ptr<const BookText> book) {
    // The search reads the model's text where it lies: it must stop first.
    chapterSearch_.Cancel();
    SavePosition();
    pendingPosition_.reset();
    savedPosition_ = -1;
    model_.SetText(std::move(book));
    StartChapterSearch();
    pageNumberEdit_->setText(FromUtf8(model_.pageNumberText()));
    ClearSelection(model_);
    DrawPage();
}

void ReadingPage::SetBookName(std::string gbkName) {
    bookName_ = std::move(gbkName);
    textChoice_ = LoadBookTextChoice(bookName_);
    ShowTextChoice();
    pendingPosition_.reset();
    if (resume_.resumePosition) pendingPosition_ = ReadingPosition::Load(bookName_);
}

void ReadingPage::ShowTextChoice() {
    const auto* at = std::find(std::begin(kChoosable), std::end(kChoosable), textChoice_.encoding);
    encodingActions_[at == std::end(kChoosable) ? 0 : static_cast<int>(at - kChoosable)]->setChecked(true);
    simplifiedAction_->setChecked(textChoice_.toSimplified);
}

void ReadingPage::ApplyTextChoice(const BookTextChoice& choice) {
    if (choice == textChoice_ || bookPath_.empty()) {
        ShowTextChoice();
        return;
    }
    std::shared_ptr<const BookText> text;
    if (!ReadBookForReading(bookPath_, choice, text).ok) {
        ShowTextChoice();
        return;
    }
    textChoice_ = choice;
    SaveBookTextChoice(bookName_, textChoice_);
    ShowTextChoice();
    // Offsets of one reading do not carry over to another encoding, but
    // the share of the book read does; a reading of the same length (GBK
    // against GB18030, say) keeps the very byte.
    const int64_t oldLength = model_.textLength();
    const int64_t oldTop = model_.topOffset();
    const auto newLength = static_cast<int64_t>(text->size());
    const int64_t top =
        oldLength == newLength || oldLength == 0 ? oldTop : oldTop * newLength / oldLength;
    SetText(std::move(text));
    UpdateGeometry();
    model_.GoToOffset(top);
    AfterLayout();
}

void ReadingPage::RestorePosition() {
    if (!pendingPosition_ || !model_.ShowOffsetAtTop(*pendingPosition_)) return;
    pendingPosition_.reset();
}

void ReadingPage::SavePosition() {
    if (!resume_.resumePosition || bookName_.empty() || pendingPosition_ || model_.lineCount() == 0)
        return;
    const int32_t offset = model_.anchorOffset();
    if (offset == savedPosition_) return;
    if (ReadingPosition::Save(bookName_, offset)) savedPosition_ = offset;
}

void ReadingPage::LoadBookmarks() {
    bookmarks_.Load(bookName_);
    RefreshBookmarkList(0);
}

void ReadingPage::UpdateGeometry() {
    LayOutButtonBar();
    const QSize area = ContentSize();
    model_.UpdateGeometry(area.width(), area.height());
    RestorePosition();
    AfterLayout();
}

void ReadingPage::Relayout() {
    LayOutButtonBar();
    LayOutBottomBar();
    UpdateFullScreenCaption();
    relayoutTimer_.start();
}

void ReadingPage::RelayoutNow() {
    relayoutTimer_.stop();
    LayOutButtonBar();
    const QSize area = ContentSize();
    model_.Relayout(area.width(), area.height());
    RestorePosition();
    UpdateFullScreenCaption();
    AfterLayout();
}

void ReadingPage::SetFullScreenQuery(std::function<bool()> query) {
    fullScreenQuery_ = std::move(query);
    UpdateFullScreenCaption();
}

void ReadingPage::UpdateFullScreenCaption() {
    const bool full = fullScreenQuery_ ? fullScreenQuery_() : window()->isFullScreen();
    fullScreenButton_->setText(full ? kNormalCaption : kFullScreenCaption);
}

void ReadingPage::AfterLayout() {
    // The caret stays where it was, so a Right key that turned the page
    // still moves it (the text would otherwise put it at the end).
    const QString page = FromUtf8(model_.pageNumberText());
    if (pageNumberEdit_->text() != page) {
        const int caret = pageNumberEdit_->cursorPosition();
        pageNumberEdit_->setText(page);
        pageNumberEdit_->setCursorPosition(std::min(caret, static_cast<int>(page.size())));
    }
    statusLine_->setText(FromGbk(model_.statusText()) + ChapterStatus());
    SetWordMode(false);
    DrawPage();
    if (model_.lineCount() > 0) positionTimer_.start();
    if (!model_.splitComplete()) splitTimer_.start();
}

void ReadingPage::SplitSlice() {
    if (!model_.ContinueSplit(kSplitSliceBytes)) return;
    splitTimer_.stop();
    model_.RefreshStatus();
    statusLine_->setText(FromGbk(model_.statusText()) + ChapterStatus());
}

// ---- Bottom bar ----

void ReadingPage::SetWordMode(bool on) {
    wordMode_ = on;
    wordPanel_->setVisible(on);
    explainButton_->setVisible(on);
    LayOutBottomBar();
}

void ReadingPage::LayOutBottomBar() {
    const int w = width();
    const int y = height() - kBottomBarHeight - 1;
    if (!wordMode_) {
        statusLine_->setGeometry(0, y, w, kBottomBarHeight);
        return;
    }
    const int textWidth = QFontMetrics(wordPanel_->font()).horizontalAdvance(wordPanel_->text());
    const int panelWidth = std::max(0, std::min(textWidth + 5, w - 200));
    wordPanel_->setGeometry(0, y, panelWidth, kBottomBarHeight);
    explainButton_->setGeometry(w - kExplainWidth, y, kExplainWidth, kBottomBarHeight);
    statusLine_->setGeometry(panelWidth, y, std::max(0, w - kExplainWidth - panelWidth),
                             kBottomBarHeight);
}

// ---- Drawing ----

void ReadingPage::ApplyStyle() {
    style_.font = FontFromRecord(settings_.font);
    style_.textColour = ColourFromRef(settings_.textColour);
    style_.backColour = ColourFromRef(settings_.backColour);
    style_.selTextColour = ColourFromRef(settings_.selTextColour);
    style_.selBackColour = ColourFromRef(settings_.selBackColour);
    style_.showRowNumbers = settings_.showRowNumbers == 1;
    style_.showShadow = settings_.extra.showShadow != 0;
    style_.shadowDx = settings_.extra.shadowDx;
    style_.shadowDy = settings_.extra.shadowDy;
    style_.shadowColour = ColourFromRef(settings_.extra.shadowColour);
    style_.showPicture = settings_.extra.showPicture == 1;
    style_.pictureMode = settings_.extra.pictureMode;
    model_.SetSpacing(settings_.charSpacing, settings_.lineSpacing);
}

void ReadingPage::DrawPage() {
    surfaceDirty_ = true;
    update(BandOnScreen());
}

void ReadingPage::SetSpeechColours(uint32_t background, uint32_t text) {
    style_.spokenBackColour = ColourFromRef(background);
    style_.spokenTextColour = ColourFromRef(text);
    DrawPage();
}

QImage ReadingPage::RenderToImage() {
    const QSize client = ContentSize();
    // Drawn at the screen's own resolution, so text stays sharp on a
    // scaled display.
    const qreal dpr = std::max<qreal>(1.0, devicePixelRatioF());
    const QSize pixels = (QSizeF(client) * dpr).toSize();
    if (surface_.size() != pixels) {
        surface_ = QImage(pixels, QImage::Format_RGB32);
        surface_.setDevicePixelRatio(dpr);
        surfaceDirty_ = true;
    }
    if (surfaceDirty_) {
        surface_.fill(kPageBackground);
        QPainter p(&surface_);
        renderer_.RenderPage(p, client, model_, style_, picture_.image);
        surfaceDirty_ = false;
    }
    return surface_;
}

void ReadingPage::paintEvent(QPaintEvent*) {
    RenderToImage();
    QPainter p(this);
    const QRect band = BandOnScreen();
    const QRect source = PageBand(ContentSize());
    p.fillRect(QRect(0, 0, width(), band.top()), kPageBackground);
    p.fillRect(QRect(0, band.bottom() + 1, width(), height() - band.bottom() - 1), kPageBackground);
    if (band.isEmpty()) return;
    // Only the band is copied: the button bar and the status line are
    // children that paint themselves.
    const qreal dpr = surface_.devicePixelRatio();
    p.drawImage(QRectF(band), surface_,
                QRectF(source.x() * dpr, source.y() * dpr, source.width() * dpr,
                       source.height() * dpr));
}

void ReadingPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    surfaceDirty_ = true;
    Relayout();
}

// ---- Pictures and settings ----

void ReadingPage::PickPicture() {
    if (settings_.extra.showPicture != 1) return;
    std::array<std::string, kPictureSlots> names;
    for (size_t i = 0; i < names.size(); ++i) names[i] = settings_.extra.pictures[i];
    const int slot = ChoosePictureSlot(names, settings_.extra.pictureOrder, pictureCursor_,
                                       static_cast<long long>(std::time(nullptr)));
    if (slot < 0) return;
    LoadPagePicture(picture_, names[static_cast<size_t>(slot)]);
}

void ReadingPage::ApplyDisplaySettings(const DisplaySettings& settings) {
    settings_ = settings;
    // The dialog also stores the resume switches.
    resume_ = ResumeSettings::Load();
    ApplyStyle();
    PickPicture();
    RelayoutNow();
}

void ReadingPage::ApplyDisplaySettingsEverywhere(const DisplaySettings& settings) {
    ProgramDisplaySettings() = settings;
    for (QWidget* w : QApplication::allWidgets()) {
        if (auto* page = qobject_cast<ReadingPage*>(w)) page->ApplyDisplaySettings(settings);
    }
}

void ReadingPage::OpenSettingsDialog() {
    DisplaySettingsDialog dialog(settings_, this);
    connect(&dialog, &DisplaySettingsDialog::applied, this,
            &ReadingPage::ApplyDisplaySettingsEverywhere);
    if (ModalSeam::Exec(&dialog) == QDialog::Accepted)
        ApplyDisplaySettingsEverywhere(dialog.stored());
}

// ---- Navigation ----

void ReadingPage::NextPageCommand() {
    PickPicture();
    model_.NextPage();
    AfterLayout();
}

void ReadingPage::PrevPageCommand() {
    PickPicture();
    model_.PrevPage();
    AfterLayout();
}

void ReadingPage::FirstPageCommand() {
    PickPicture();
    model_.FirstPage();
    AfterLayout();
}

void ReadingPage::LastPageCommand() {
    PickPicture();
    model_.LastPage();
    AfterLayout();
}

void ReadingPage::GoToPageCommand() {
    PickPicture();
    model_.GoToPage(ParseLeadingInt(ToUtf8(pageNumberEdit_->text())));
    AfterLayout();
}

void ReadingPage::PickFindResult(std::string_view positionText) {
    if (PickResult(model_, positionText)) AfterLayout();
}

// ---- Bookmarks ----

void ReadingPage::RefreshBookmarkList(int select) {
    bookmarkCombo_->clear();
    for (const std::string& item : bookmarks_.Items()) bookmarkCombo_->addItem(FromGbk(item));
    bookmarkCombo_->setCurrentIndex(std::clamp(select, 0, bookmarkCombo_->count() - 1));
}

void ReadingPage::AddBookmark() {
    const int32_t position = model_.firstLineStart();
    AddBookmarkDialog dialog(
        QString::number(position), FromGbk(Bookmarks::DefaultDescription(std::time(nullptr))),
        [&](const std::string& description, Messenger& messenger) {
            return bookmarks_.Add(description, position, messenger);
        },
        this);
    if (ModalSeam::Exec(&dialog) != QDialog::Accepted) return;
    RefreshBookmarkList(static_cast<int>(bookmarks_.entries().size()));
}

void ReadingPage::DeleteBookmark() {
    if (bookmarks_.Delete(bookmarkCombo_->currentIndex())) RefreshBookmarkList(0);
}

void ReadingPage::JumpToBookmark(int index) {
    const auto target = bookmarks_.JumpTarget(index);
    if (!target) return;
    model_.GoToOffset(*target);
    AfterLayout();
}

// ---- Chapters ----

void ReadingPage::StartChapterSearch() {
    chapters_.reset();
    const int generation = ++chapterGeneration_;
    ChapterRules rules = LoadChapterRules();
    // Each bad rule is named once per run, not at every book opened.
    static std::set<std::string> named;
    std::string bad;
    for (const std::string& rule : rules.invalid()) {
        if (named.insert(rule).second) bad += "\r\n" + Utf8ToGbk(rule);
    }
    if (!bad.empty()) {
        // After the book has opened: a box inside the opening would run the
        // event loop while the page has no geometry yet.
        QTimer::singleShot(0, this, [this, bad] {
            QtMessenger(this).Inform(Gbk("目录规则有误，已跳过：") + bad, MessageKind::Warning);
        });
    }
    const std::shared_ptr<const BookText>& book = model_.book();
    if (book->complete() && book->size() < kBackgroundChapterBytes) {
        TakeChapters(FindChapters(model_.text(), rules));
        return;
    }
    chapterSearch_.Start(book, std::move(rules), [this, generation](std::vector<Chapter> found) {
        // Queued to the page's thread; the page cancels and joins the search
        // before it goes, and events for a deleted object are dropped.
        QMetaObject::invokeMethod(
            this,
            [this, generation, found = std::move(found)]() mutable {
                if (generation == chapterGeneration_) TakeChapters(std::move(found));
            },
            Qt::QueuedConnection);
    });
}

void ReadingPage::TakeChapters(std::vector<Chapter> chapters) {
    chapters_ = std::make_shared<const std::vector<Chapter>>(std::move(chapters));
    if (chapterDialog_)
        chapterDialog_->SetChapters(chapters_, CurrentChapterIndex());
    if (model_.lineCount() > 0)
        statusLine_->setText(FromGbk(model_.statusText()) + ChapterStatus());
}

int64_t ReadingPage::PageEnd() const {
    if (model_.lineCount() == 0 || model_.rows() <= 0) return 0;
    const int32_t last = std::min(model_.topLine() + model_.rows(), model_.lineCount()) - 1;
    return std::min(model_.lineTable()[last].end, model_.textLength());
}

int ReadingPage::CurrentChapterIndex() const {
    // A heading anywhere on the page counts: pages start at multiples of
    // the row count, so the page a heading was jumped to rarely starts with
    // it, and the reader reads that chapter next.
    const int64_t end = PageEnd();
    return chapters_ && end > 0 ? CurrentChapter(*chapters_, end - 1) : -1;
}

QString ReadingPage::ChapterStatus() const {
    if (model_.textLength() == 0 || PageEnd() == 0) return {};
    QString place;
    const int current = CurrentChapterIndex();
    if (current >= 0)
        place = QStringLiteral("  ") + FromGbk((*chapters_)[static_cast<size_t>(current)].title);
    // Read up to the end of the page shown: the last page reads 100%.
    const double read = 100.0 * static_cast<double>(PageEnd()) / model_.textLength();
    place += QStringLiteral("  %1%").arg(read, 0, 'f', 1);
    return place;
}

void ReadingPage::OpenChapterList() {
    ChapterListDialog dialog(
        [this](int32_t offset) {
            PickPicture();
            // The heading becomes the first row, as a chapter starts a page.
            model_.ShowOffsetAtTop(offset);
            AfterLayout();
        },
        this);
    if (chapters_) dialog.SetChapters(chapters_, CurrentChapterIndex());
    chapterDialog_ = &dialog;
    ModalSeam::Exec(&dialog);
}

// ---- Dialogs ----

void ReadingPage::OpenFindDialog() {
    FindDialog* shown = nullptr;
    FindDialog dialog(
        model_.text(),
        [this, &shown](std::string_view position) {
            PickFindResult(position);
            // Never leave the dialog over the line it has just highlighted.
            const int32_t index =
                model_.lineTable().FindContainingInclusive(ParseLeadingInt(position));
            if (index < 0 || model_.rows() <= 0) return;
            const CellRect cell = model_.cellGrid().At(index % model_.rows(), 0).rect;
            const QRect row(mapToGlobal(QPoint(0, contentTop_ + cell.top)),
                            QSize(width(), cell.bottom - cell.top));
            // Moved once the click is over: moving a window in the middle
            // of its own mouse event leaves Qt reading freed event state.
            QTimer::singleShot(0, shown, [shown, row] { shown->MoveAsideOf(row); });
        },
        this);
    shown = &dialog;
    dialog.SetPageLookup([this](int32_t position) { return PageOfPosition(model_, position); });
    ModalSeam::Exec(&dialog);
}

void ReadingPage::ShowPageText() {
    std::string joined;
    for (int r = 0; r < model_.rows(); ++r) {
        joined += model_.pageLine(r);
        joined += "\r\n";
    }
    // The edit field breaks lines itself; a CR left in would show as a
    // second break after every line of CR LF text.
    QString text = FromGbk(joined);
    text.remove(QLatin1Char('\r'));
    PageTextDialog dialog(text, this);
    ModalSeam::Exec(&dialog);
}

void ReadingPage::OpenAutoTurnDialog() {
    if (autoTurnSeconds_ > 0) autoTurnTimer_.stop();
    AutoTurnDialog dialog(autoTurnSeconds_, this);
    ModalSeam::Exec(&dialog);
    autoTurnSeconds_ = dialog.seconds();
    if (autoTurnSeconds_ > 0) {
        // Seconds beyond what a timer holds are as good as "never".
        autoTurnTimer_.start(static_cast<int>(std::min<long long>(autoTurnSeconds_ * 1000LL, INT32_MAX)));
    }
}

bool ReadingPage::IsFullScreenCaption() const { return fullScreenButton_->text() == kNormalCaption; }

void ReadingPage::ToggleFullScreen() {
    const bool enter = !IsFullScreenCaption();
    fullScreenButton_->setText(enter ? kNormalCaption : kFullScreenCaption);
    Q_EMIT fullScreenRequested(enter);
}

// ---- Keys and mouse ----

QString ReadingPage::SelectedText() const {
    std::string bytes;
    const CellGrid& grid = model_.cellGrid();
    for (int r = 0; r < model_.rows(); ++r) {
        const Cell* cells = grid.Row(r);
        for (int c = 0; c <= model_.cols(); ++c) {
            const Cell& cell = cells[c];
            if (cell.kind == kCellLead) {
                // Either half selected draws the character selected.
                if (cell.selected || cells[c + 1].selected) {
                    bytes += static_cast<char>(cell.byte);
                    bytes += static_cast<char>(cells[c + 1].byte);
                }
                ++c;
            } else if (cell.selected && (cell.kind == kCellSingle || cell.byte == '\t')) {
                bytes += static_cast<char>(cell.byte);
            }
        }
    }
    return FromGbk(bytes);
}

void ReadingPage::CopySelection() {
    const QString text = SelectedText();
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void ReadingPage::ScrollLinesCommand(int delta) {
    model_.ScrollLines(delta);
    AfterLayout();
}

void ReadingPage::wheelEvent(QWheelEvent* event) {
    wheelDelta_ += event->angleDelta().y();
    // Rolling the wheel towards the reader (negative) reads on.
    while (wheelDelta_ <= -kWheelNotch) {
        wheelDelta_ += kWheelNotch;
        NextPageCommand();
    }
    while (wheelDelta_ >= kWheelNotch) {
        wheelDelta_ -= kWheelNotch;
        PrevPageCommand();
    }
    event->accept();
}

bool ReadingPage::HandleKey(QKeyEvent* key, const QObject* target) {
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->matches(QKeySequence::Copy)) {
        // Without a selection on the page, the focused field copies its own.
        if (SelectedText().isEmpty()) return false;
        CopySelection();
        return true;
    }
    if (key->matches(QKeySequence::Find)) {
        OpenFindDialog();
        return true;
    }
    // Up and Down in the bookmark list choose a bookmark, as they always did.
    const bool inList = target == bookmarkCombo_;
    // The keys below are the page's own: the page-number field would
    // otherwise take a space or move its caret.
    switch (key->key()) {
    case Qt::Key_Space:
        if (mods == Qt::ShiftModifier)
            PrevPageCommand();
        else if (mods == Qt::NoModifier)
            NextPageCommand();
        return true;
    case Qt::Key_Home:
        FirstPageCommand();
        return true;
    case Qt::Key_End:
        LastPageCommand();
        return true;
    case Qt::Key_Up:
        if (inList) return false;
        ScrollLinesCommand(-1);
        return true;
    case Qt::Key_Down:
        if (inList) return false;
        ScrollLinesCommand(1);
        return true;
    case Qt::Key_F11:
        ToggleFullScreen();
        return true;
    default:
        break;
    }
    switch (key->key()) {
    case Qt::Key_PageUp:
    case Qt::Key_Left:
        PrevPageCommand();
        return false;
    case Qt::Key_PageDown:
    case Qt::Key_Right:
        NextPageCommand();
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        GoToPageCommand();
        return true;
    case Qt::Key_Escape:
        if (IsFullScreenCaption()) ToggleFullScreen();
        return true;
    default:
        return false;
    }
}

bool ReadingPage::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::MouseButtonPress)
        return false;
    if (type == QEvent::KeyRelease) {
        seenKey_ = {};
        return false;
    }
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || (w != this && !isAncestorOf(w))) return false;
    if (type == QEvent::MouseButtonPress) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            pageNumberEdit_->setFocus(Qt::MouseFocusReason);
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (seenKey_.event == event && seenKey_.timestamp == key->timestamp() &&
        seenKey_.key == key->key())
        return false;
    seenKey_ = {event, key->timestamp(), key->key()};
    return HandleKey(key, watched);
}

void ReadingPage::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || doubleClicking_ == 2) return;
    const QPoint p = event->position().toPoint();
    ClickText(p.x(), p.y() - contentTop_);
}

void ReadingPage::ClickText(int x, int y) {
    const PagingModel::Hit hit = model_.HitTest(x, y);
    if (hit.row < 0) {
        DrawPage();
        return;
    }
    Cell& cell = model_.cellGrid().At(hit.row, hit.col);
    const CellPos at{hit.row, hit.col};
    auto toggleRun = [&](const CellRun& run) {
        const bool wasSelected = cell.selected != 0;
        ClearSelection(model_);
        if (!wasSelected) SelectRun(model_, run);
    };
    switch (cell.kind) {
    case kCellSingle:
        if (IsRunDigit(cell.byte)) {
            toggleRun(FindRun(model_, at, RunClass::Digits));
        } else if (IsRunLetter(cell.byte)) {
            const CellRun run = FindRun(model_, at, RunClass::Letters);
            const std::string word = RunText(model_, run);
            std::string status;
            std::string panel;
            if (wordLookup_ && wordLookup_(word, status, panel)) {
                statusLine_->setText(FromGbk(status));
                wordPanel_->setText(FromGbk(panel));
            } else {
                statusLine_->setText(FromGbk(" " + word + "  "));
            }
            SetWordMode(true);
            toggleRun(run);
        }
        break;
    case kCellLead:
    case kCellTrail: {
        const bool wasSelected = cell.selected != 0;
        ClearSelection(model_);
        if (!wasSelected) {
            const int lead = cell.kind == kCellLead ? hit.col : hit.col - 1;
            if (lead >= 0) {
                model_.cellGrid().At(hit.row, lead).selected = 1;
                model_.cellGrid().At(hit.row, lead + 1).selected = 1;
            }
        }
        break;
    }
    case kCellControl:
        ClearSelection(model_);
        break;
    default:
        break;
    }
    DrawPage();
}

void ReadingPage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    doubleClicking_ = 2;
    const QPoint p = event->position().toPoint();
    const PagingModel::Hit hit = model_.HitTest(p.x(), p.y() - contentTop_);
    if (hit.row >= 0) {
        ClearSelection(model_);
        SelectRow(model_, hit.row);
    }
    DrawPage();
    doubleClicking_ = 0;
}

}  // namespace quillon
