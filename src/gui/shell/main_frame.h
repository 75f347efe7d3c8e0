#pragma once

#include <functional>
#include <string>

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QTimer>

class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;

namespace quillon {

class BrowserPage;
class TabStrip;

// The reader's only top-level window: a toolbar of commands and the address
// box, the tab strip under it, and the current tab's page under that. The
// frame owns the tab list and every page host.
class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    // Command ids, kept as the widgets' object names ("command32771").
    enum Command {
        kMainWindow = 32771,
        kNovelDownload = 32772,
        kFavourites = 32773,
        kRecommended = 32774,
        kAbout = 32775,
        kForumPosts = 32776,
        kSiteDownload = 32777,
        kPictureDownload = 32778,
    };

    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // A page host on `url`, inserted right after the current tab; null when
    // the strip is full (the page is then destroyed again).
    BrowserPage* OpenTab(const QString& url, bool makeCurrent);
    BrowserPage* OpenBlankTab();
    // The main tab and the [TAB_BEGIN] tabs; runs once, on the first show.
    void OpenStartTabs();
    // Timer 1: the [NEW_URL_BEGIN] tabs.
    void OpenConfiguredTabs();
    // The reading tabs open when the program last closed, opened again in
    // their order after the other tabs; the one that was current is again.
    void ReopenBooks();
    // Notes the reading tabs open now for the next start.
    void SaveOpenBooks() const;

    void SelectMainTab();
    // Makes `index` current (a deferred page loads now), relayouts, retitles.
    void SelectTab(int index);
    // True when the tab went; the main tab refuses with "不能关闭主窗口".
    bool CloseTab(int index, bool force);

    void Relayout();
    void Retitle();

    // A reading page's full-screen mode: the window covers the screen and
    // the toolbar goes; leaving brings both back.
    void EnterFullScreen();
    void LeaveFullScreen();
    bool IsFullScreen() const { return fullScreen_; }

    // Timer 2, set by the update worker once new data has arrived. Safe to
    // call from any thread; does nothing when no frame exists.
    static void PostSearchEntryReload();
    bool searchEntryReloadPending() const { return updateTimer_.isActive(); }

    // A page's title changed: the tab follows, and the window when current.
    void PageTitleChanged(BrowserPage* page);

    // Commands of the toolbar and the Tools menu.
    void RunCommand(int command);
    void OpenAddress();

    int PageCount() const;
    BrowserPage* PageAt(int index) const;
    BrowserPage* CurrentPage() const;
    TabStrip* tabStrip() const { return strip_; }
    QLineEdit* addressEdit() const { return address_; }
    QMenu* toolsMenu() const { return toolsMenu_; }
    QToolBar* commandBar() const { return toolbar_; }
    QWidget* pageView() const { return view_; }

    // Seams. The program starter receives the program path and one argument
    // (default: a detached start). The update worker starter runs at the end
    // of construction. The favourites runner shows the favourites dialog.
    static void SetProgramStarter(std::function<bool(const std::string&, const std::string&)> starter);
    static void SetUpdateWorkerStarter(std::function<void(CMainFrame*)> starter);
    static void SetFavouritesRunner(std::function<void(CMainFrame*)> runner);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // OpenTab at a given place: -1 is right after the current tab.
    BrowserPage* OpenTabAt(const QString& url, int index, bool makeCurrent);
    void BuildToolbar();
    QToolButton* AddCommandButton(int command, const QString& caption, const QString& tip);
    void BuildToolsMenu();
    QString TagValue(const char* key) const;
    void StartDownloader();
    void StartSiblingTool(const QString& application, const std::string& program);
    void ShowAbout();
    void OpenHomePage();

    QToolBar* toolbar_ = nullptr;
    QLineEdit* address_ = nullptr;
    QMenu* toolsMenu_ = nullptr;
    QWidget* body_ = nullptr;
    TabStrip* strip_ = nullptr;
    QWidget* view_ = nullptr;
    QTimer startTimer_;
    QTimer updateTimer_;
    bool startTabsOpened_ = false;
    bool fullScreen_ = false;
    // The window before full screen, restored on leaving and saved instead
    // of the screen-sized rectangle when the window closes full screen.
    QRect normalGeometry_;
    QRect normalFrame_;
};

}  // namespace quillon
