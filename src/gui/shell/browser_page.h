#pragma once

#include <string>

#include <QPointer>
#include <QString>
#include <QWebEnginePage>
#include <QWidget>

#include "gui/shell/panel_factories.h"

class QWebEngineView;

namespace quillon {

class CMainFrame;
class BrowserPage;

// The web page of a page host. Pop-ups become tabs of the frame, and a
// page's script errors stay invisible: they only ever reach the console,
// whose output is dropped. Alerts, confirmations and prompts are the page
// talking to the user and are shown as any browser shows them.
class BrowserWebPage final : public QWebEnginePage {
    Q_OBJECT
public:
    BrowserWebPage(BrowserPage* host, QObject* parent);

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;

private:
    QPointer<BrowserPage> host_;
};

// The page of one tab: a web view and at most one panel of each kind. The
// frame reads its closable flag, its kind and its title.
class BrowserPage final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBookshelfBrowserWidth = 400;
    static constexpr int kTopBarHeight = 30;
    static constexpr int kSearchBrowserWidth = 330;

    BrowserPage(CMainFrame* frame, QWidget* parent);
    ~BrowserPage() override;

    // The main tab: not closable, kind 1, titled "主窗口", with the bookshelf.
    void MakeMain();
    // A tab configured at start: loads `address` on its first activation.
    void SetDeferred(bool closable, const QString& title, const QString& address);
    // The tab became current: a pending deferred address is loaded now.
    void Activate();

    // "//FilePath//" + a full path, or a book name in book/. 0 when the book
    // was handed to a reading panel; 2 when the file is missing or cannot be
    // read (the message was shown, the page is unchanged); 1 otherwise.
    int OpenBook(const QString& target);
    // The name or path of the book the reading panel shows; empty when none.
    const QString& bookRef() const { return bookRef_; }
    int OpenSearch(const QString& words, const QString& extra);
    int OpenScrollDisplay(const QString& title, std::string_view gbkText);

    void SetTitle(const QString& text);
    // The tab's text: the page's own title when set, else the browser's.
    QString Title() const { return title_.isEmpty() ? browserTitle_ : title_; }
    const QString& OwnTitle() const { return title_; }
    const QString& BrowserTitle() const { return browserTitle_; }

    void Navigate(const QString& address);
    // Destroys the panels (search, top bar, bookshelf, reading), then the page.
    void Close();

    bool closable() const { return closable_; }
    int kind() const { return kind_; }
    bool deferredPending() const { return deferredPending_; }
    const QString& deferredAddress() const { return deferredAddress_; }

    CMainFrame* frame() const { return frame_; }
    QWebEngineView* browser() const { return browser_; }
    BrowserWebPage* webPage() const { return webPage_; }
    QWidget* bookshelfPanel() const { return bookshelf_; }
    QWidget* readingPanel() const { return readingWidget_; }
    QWidget* topBar() const { return topBar_; }
    QWidget* searchPanel() const { return searchWidget_; }

    void Relayout();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BrowserTitleChanged(const QString& title);

    QPointer<CMainFrame> frame_;
    QWebEngineView* browser_ = nullptr;
    BrowserWebPage* webPage_ = nullptr;
    QPointer<QWidget> bookshelf_;
    ReadingPanelBinding reading_;
    QPointer<QWidget> readingWidget_;
    QPointer<QWidget> topBar_;
    SearchPanelBinding search_;
    QPointer<QWidget> searchWidget_;
    QString title_;
    QString browserTitle_ = QStringLiteral("about:blank");
    bool closable_ = true;
    int kind_ = 0;
    QString deferredAddress_;
    QString bookRef_;
    bool deferredPending_ = false;
};

}  // namespace quillon
