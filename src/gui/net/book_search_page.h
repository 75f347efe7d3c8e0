#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QTimer>
#include <QWidget>

#include "core/net/book_search.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class BookSearchRelay;

// The novel-index search pane: a query field and button, the result list
// (title, action, site, address) and a status line. Searches run on worker
// threads; opening a result asks for a tab and reports the choice to the
// statistics address of data/main.htm.
class BookSearchPage final : public QWidget {
    Q_OBJECT
public:
    enum Column { kTitleColumn = 0, kActionColumn = 1, kSiteColumn = 2, kUrlColumn = 3 };

    // Reads its settings from data/main.htm. `index` is the program's own
    // unless a test gives another; it must outlive every search.
    explicit BookSearchPage(QWidget* parent = nullptr, BookIndex* index = nullptr);
    ~BookSearchPage() override;

    void SetQuery(const QString& query);
    // Searches for the text of the query field. A search still running in
    // this page is dropped first, so two never fill the list together.
    void StartSearch();
    // Opens the row's address in a new tab and reports it; a row without an
    // address does nothing.
    void OpenRow(int row);

    // The page shown beside the results for `words`: [SEARCH_BOOK_URL] with
    // its "%s" filled, or "" when that key is empty.
    QString ResultAddress(const QString& words) const;

    const BookSearchSettings& settings() const { return settings_; }
    int found() const { return found_; }
    int total() const { return total_; }
    QLineEdit* queryEdit() const { return query_; }
    QPushButton* searchButton() const { return button_; }
    QTreeWidget* resultList() const { return list_; }
    QLabel* statusLine() const { return status_; }
    const QTimer& refocusTimer() const { return refocusTimer_; }

signals:
    // A search began for `query` (trimmed as typed): the owner retitles.
    void searchStarted(const QString& query);
    void openUrlRequested(const QString& url);
    // The last search finished, was refused, or ended without a search.
    void searchEnded();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class BookSearchRelay;

    // What the relay carries over from the search thread; `search` tells
    // the current search from one already replaced.
    void ClearRows(int search);
    void AddRows(int search, std::vector<BookSearchRow> rows);
    void ShowStatus(int search, int total, int found, const std::string& message);
    void ShowMessage(int search, const std::string& text, bool refocus);
    void EndSearch(int search);

    void SetStatusMessage(const std::string& message);
    void RowClicked(QTreeWidgetItem* item, int column);
    void OpenItem(QTreeWidgetItem* item);
    void Relayout();

    BookIndex* index_ = nullptr;
    BookSearchSettings settings_;
    QLabel* label_ = nullptr;
    QLineEdit* query_ = nullptr;
    QPushButton* button_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer refocusTimer_;
    int total_ = 0;
    int found_ = 0;
    int search_ = 0;
    std::shared_ptr<BookSearchRelay> relay_;
    std::unique_ptr<BookSearchJob> job_;
};

}  // namespace quillon
