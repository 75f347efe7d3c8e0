#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "core/library/search_entries.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace quillon {

class FileListModel;
class ListRefresher;
struct ShelfRow;

// The home page of the main tab: the books of book/, the library commands,
// the web-search entries and a browser of the local file system. It opens
// nothing itself: books, addresses and searches leave as signals, which the
// main tab turns into new tabs.
class BookshelfPage final : public QWidget {
    Q_OBJECT
public:
    // Which lists a refresh fills.
    enum RefreshMask { BookList = 1, LocalList = 2, BothLists = 3 };

    explicit BookshelfPage(QWidget* parent = nullptr);
    ~BookshelfPage() override;

    // The commands of the page, also reachable from its buttons and lists.
    void AddBook();
    void DeleteSelected();
    void ReadSelected();
    void RenameSelected();
    void StartDownloader();
    void ImportText();
    void EditSelected();
    void BrowseFolder();
    void Search();
    // Applies the engine entry at `index`: its search-box text, and for an
    // entry that opens its address unchanged, that address at once. Runs
    // when the user picks an entry, once for the initial entry after the
    // page opens, and after every reload of the entries.
    void ApplyEngine(int index);
    // Reloads the search entries from the program tag file (after a data
    // update) and re-applies the selected entry.
    void ReloadSearchEntries();

    void OpenBookRow(int row);
    void OpenLocalRow(int row);
    void Refresh(int mask);
    // Adds text files dropped on the book list, one add dialog each.
    void AddDroppedFiles(const QStringList& paths);

    QSize welcomeSize() const { return welcomeSize_; }
    FileListModel* bookModel() const { return bookModel_; }
    FileListModel* localModel() const { return localModel_; }
    // True while a listing of that list runs or waits.
    bool IsRefreshing(int mask) const;

signals:
    // A book to read: the full path of its file.
    void openBookRequested(const QString& path);
    // An address for a new browser tab.
    void openUrlRequested(const QString& url);
    // The program's own novel search for `words`, in a new tab.
    void searchRequested(const QString& words);
    void bookListRefreshed();
    void localListRefreshed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildWidgets();
    void ReadWelcomeSize();
    void FillEngines(const QByteArray& keepName);
    void RefreshBooks();
    void RefreshLocal();
    void ShowFileThroughTemplate(const QString& absolutePath, const std::string& ext);
    int SelectedBookRow() const;
    void UpdateWelcomeText();
    void ListClicked(QTreeView* view, const QModelIndex& index);

    SearchEntries entries_;
    QSize welcomeSize_{400, 300};
    QLabel* welcome_ = nullptr;
    QComboBox* engines_ = nullptr;
    QLineEdit* searchBox_ = nullptr;
    QLineEdit* pathBox_ = nullptr;
    QLabel* localTitle_ = nullptr;
    QTreeView* bookList_ = nullptr;
    QTreeView* localList_ = nullptr;
    FileListModel* bookModel_ = nullptr;
    FileListModel* localModel_ = nullptr;
    ListRefresher* bookRefresher_ = nullptr;
    ListRefresher* localRefresher_ = nullptr;
};

}  // namespace quillon
