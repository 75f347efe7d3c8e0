#pragma once

#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "core/reader/book_text_choice.h"
#include "core/reader/bookmarks.h"
#include "core/reader/chapter_index.h"
#include "core/reader/display_settings.h"
#include "core/reader/paging_model.h"
#include "core/reader/reading_resume.h"
#include "gui/reader/page_picture.h"
#include "gui/reader/page_renderer.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon {

class ChapterListDialog;

// The reading panel of one open book: a bar of buttons along the top, the
// page drawn cell by cell in the band between, and the status line along the
// bottom. Keys turn pages before any child control sees them; clicks select
// words, numbers, characters and rows.
//
// The host, in this order when a book is opened: SetText, SetBookName,
// LoadBookmarks, UpdateGeometry. The page follows its own size afterwards:
// a burst of resize events re-splits the book once, when the burst is over.
class ReadingPage final : public QWidget {
    Q_OBJECT
public:
    explicit ReadingPage(QWidget* parent = nullptr);
    ~ReadingPage() override;

    // ---- Host side ----
    void SetText(std::string bytes);
    // The same with a book that may still be arriving.
    void SetText(std::shared_ptr<const BookText> book);
    // Also takes the book's remembered encoding choice, which the host has
    // read the text with.
    void SetBookName(std::string gbkName);
    // The file the text came from, for reopening it in another encoding.
    void SetBookPath(std::string utf8Path) { bookPath_ = std::move(utf8Path); }
    void LoadBookmarks();
    void UpdateGeometry();
    // Moves the status line, re-derives the full-screen caption and schedules
    // the re-split that keeps the byte at the top of the page shown.
    void Relayout();
    // The re-split itself, without waiting for the end of a resize burst.
    void RelayoutNow();
    // How the page learns whether the main frame is in full-screen mode;
    // without one, the top-level window's own state counts.
    void SetFullScreenQuery(std::function<bool()> query);

    // What the host shows above the page: a web view of `topUrl` when
    // `adHeight` is positive (from data/main.htm).
    int adHeight() const { return adHeight_; }
    const std::string& topUrl() const { return topUrl_; }

    // ---- Commands ----
    void NextPageCommand();
    void PrevPageCommand();
    void FirstPageCommand();
    void LastPageCommand();
    void GoToPageCommand();
    void OpenSettingsDialog();
    void AddBookmark();
    void DeleteBookmark();
    void JumpToBookmark(int index);
    void OpenFindDialog();
    void ShowPageText();
    void OpenAutoTurnDialog();
    void ToggleFullScreen();
    // Reads the book again as `choice` says, remembers the choice for the
    // book and shows the same place of it.
    void ApplyTextChoice(const BookTextChoice& choice);
    // Puts the selected characters on the clipboard as Unicode text.
    void CopySelection();

    // Stores where the reader is in this book (the byte on the first row),
    // unless it is stored already or remembering positions is switched off.
    // Runs a moment after the last page change, before another book is set,
    // and when the page goes.
    void SavePosition();
    // The selected characters of the page, in text order.
    QString SelectedText() const;
    void OpenChapterList();

    // New display settings: picks a picture, re-splits keeping the reading
    // position, redraws.
    void ApplyDisplaySettings(const DisplaySettings& settings);
    // The same for every reading page of the program, and for pages opened
    // later: what the settings dialog applied or saved.
    static void ApplyDisplaySettingsEverywhere(const DisplaySettings& settings);
    // Chooses and loads the background picture for the next page shown.
    void PickPicture();
    // Turns to the page of a find result and selects its row.
    void PickFindResult(std::string_view positionText);
    // Repaints the band from the cell grid.
    void DrawPage();
    // The colours of the text being read aloud (0x00BBGGRR), copied in when
    // reading starts.
    void SetSpeechColours(uint32_t background, uint32_t text);

    // The drawing area exactly as the next paint shows it: the client area
    // below any extra row of the button bar (contentTop() pixels), in the
    // coordinates of the cell grid. The strips above and below the band are
    // left as the page's own background.
    QImage RenderToImage();
    // How far the text area moves down because the button bar needs more
    // than one row in a narrow page: 0 when the bar fits on one row.
    int contentTop() const { return contentTop_; }

    // A word the user clicked (ASCII letters, GBK): fills the status text and
    // the word panel's text when the word is known. Without a handler, or
    // for an unknown word, the status line shows the word itself.
    using WordLookup = std::function<bool(const std::string& word, std::string& status,
                                          std::string& panel)>;
    void SetWordLookup(WordLookup lookup) { wordLookup_ = std::move(lookup); }

    PagingModel& model() { return model_; }
    const PagingModel& model() const { return model_; }
    const DisplaySettings& settings() const { return settings_; }
    const RenderStyle& style() const { return style_; }
    const Bookmarks& bookmarks() const { return bookmarks_; }
    const std::string& bookName() const { return bookName_; }
    const BookTextChoice& textChoice() const { return textChoice_; }
    int autoTurnSeconds() const { return autoTurnSeconds_; }
    const QTimer& autoTurnTimer() const { return autoTurnTimer_; }
    int pictureCursor() const { return pictureCursor_; }
    const PagePicture& picture() const { return picture_; }
    bool wordMode() const { return wordMode_; }
    // The book's chapter headings; null while they are still being found.
    const std::vector<Chapter>* chapters() const { return chapters_.get(); }

Q_SIGNALS:
    // The full-screen button asks the main frame to enter (true) or leave
    // (false) full-screen mode.
    void fullScreenRequested(bool enter);
    // The scroll display button: the host shows the book as a scrolling
    // page in a new tab, styled like this page.
    void scrollDisplayRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void BuildButtonBar();
    void LayOutButtonBar();
    // The client area the paging model lays out, below the extra bar rows.
    QSize ContentSize() const;
    QRect BandOnScreen() const;
    void ReadTagFile();
    void AfterLayout();
    // Cuts the rest of a book's lines between events, a slice at a time.
    void SplitSlice();
    void ShowTextChoice();
    void LayOutBottomBar();
    void SetWordMode(bool on);
    void UpdateFullScreenCaption();
    void ApplyStyle();
    void ClickText(int x, int y);
    void RefreshBookmarkList(int select);
    bool HandleKey(QKeyEvent* key, const QObject* target);
    void RestorePosition();
    void ScrollLinesCommand(int delta);
    bool IsFullScreenCaption() const;
    void StartChapterSearch();
    void TakeChapters(std::vector<Chapter> chapters);
    QString ChapterStatus() const;
    // The byte after the last line shown; 0 before any layout.
    int64_t PageEnd() const;
    int CurrentChapterIndex() const;

    PagingModel model_;
    DisplaySettings settings_;
    RenderStyle style_;
    PageRenderer renderer_;
    PagePicture picture_;
    int pictureCursor_ = -1;
    Bookmarks bookmarks_;
    std::string bookName_;
    std::string bookPath_;
    BookTextChoice textChoice_;
    QTimer splitTimer_;
    int autoTurnSeconds_ = 0;
    QTimer autoTurnTimer_;
    QTimer relayoutTimer_;
    ResumeSettings resume_;
    // Saving waits until the reader stays on a page, not at every key.
    QTimer positionTimer_;
    // The stored position of the book just set, shown by the first layout
    // that has lines; nothing is saved while it waits, so a book that never
    // got laid out keeps the position it had.
    std::optional<int32_t> pendingPosition_;
    int32_t savedPosition_ = -1;
    // Wheel steps of high-resolution mice arrive in fractions of a notch.
    int wheelDelta_ = 0;
    int adHeight_ = 10;
    std::string topUrl_;
    int doubleClicking_ = 0;
    bool wordMode_ = false;
    std::function<bool()> fullScreenQuery_;
    WordLookup wordLookup_;

    std::shared_ptr<const std::vector<Chapter>> chapters_;
    ChapterSearch chapterSearch_;
    // Results of a search for a book that has since been replaced are
    // dropped: each search carries the number it was started under.
    int chapterGeneration_ = 0;
    QPointer<ChapterListDialog> chapterDialog_;

    QList<QWidget*> bar_;
    int contentTop_ = 0;

    QImage surface_;
    bool surfaceDirty_ = true;

    // A key press travels up from the focus widget to its parents when
    // ignored; it must turn the page only once.
    struct SeenKey {
        const QEvent* event = nullptr;
        quint64 timestamp = 0;
        int key = 0;
    } seenKey_;

    QPushButton* settingsButton_ = nullptr;
    QPushButton* scrollButton_ = nullptr;
    QPushButton* fullScreenButton_ = nullptr;
    QComboBox* bookmarkCombo_ = nullptr;
    QPushButton* addBookmarkButton_ = nullptr;
    QPushButton* deleteBookmarkButton_ = nullptr;
    QPushButton* speechButton_ = nullptr;
    QPushButton* pageTextButton_ = nullptr;
    QPushButton* autoTurnButton_ = nullptr;
    QPushButton* findButton_ = nullptr;
    QPushButton* firstButton_ = nullptr;
    QPushButton* lastButton_ = nullptr;
    QPushButton* prevButton_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QLineEdit* pageNumberEdit_ = nullptr;
    // "编码": one checkable action per encoding, then "繁体转简体".
    QPushButton* encodingButton_ = nullptr;
    QList<QAction*> encodingActions_;
    QAction* simplifiedAction_ = nullptr;
    QPushButton* goButton_ = nullptr;
    QPushButton* chapterButton_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* wordPanel_ = nullptr;
    QPushButton* explainButton_ = nullptr;
};

}  // namespace quillon
