#pragma once

#include <functional>
#include <string>

#include <QDialog>
#include <QString>

#include "core/net/favourites_store.h"

class QLineEdit;
class QTreeWidget;

namespace quillon {

// Both favourites dialogs run modally through here, so a test can answer
// them. A queued handler receives the filled dialog, shown but not modal,
// instead of exec(); when it leaves the dialog open, its return value ends
// the dialog. With nothing queued the dialog runs for real.
class FavouritesSeam final {
public:
    static int Exec(QDialog* dialog);
    static void Queue(std::function<int(QDialog*)> handler);
    static bool HasPending();
    static void Clear();
};

// "增加/编辑收藏": the description and address of one favourite. "保存"
// closes it only when the entry can be stored; "关闭" abandons it.
class FavouriteEditDialog final : public QDialog {
    Q_OBJECT
public:
    explicit FavouriteEditDialog(const Favourite& initial, QWidget* parent = nullptr);

    // The trimmed, checked entry once the dialog was accepted.
    const Favourite& favourite() const { return result_; }

private:
    void Save();

    QLineEdit* description_ = nullptr;
    QLineEdit* address_ = nullptr;
    Favourite result_;
};

// "我的收藏夹": the recommended addresses of the tag file and the user's own
// favourites; the user's rows can be added, edited and deleted, every row
// opened in a browser tab. The list is read when the dialog is built and
// each change is written at once.
class FavouritesDialog final : public QDialog {
    Q_OBJECT
public:
    using UrlOpener = std::function<void(const QString& url)>;

    // `tagPath` is the tag file with the recommended block, `userPath` the
    // user's favourites file (UTF-8 paths); `open` shows an address in a tab.
    FavouritesDialog(std::string tagPath, std::string userPath, UrlOpener open,
                     QWidget* parent = nullptr);

    QTreeWidget* list() const { return list_; }
    const FavouritesList& model() const { return model_; }

    void AddFavourite();
    void EditFavourite();
    void DeleteFavourite();
    void OpenFavourite();

private:
    int SelectedRow() const;
    void Fill(int select);

    FavouritesList model_;
    UrlOpener open_;
    QTreeWidget* list_ = nullptr;
};

// Runs the favourites dialog of the program folder's data/main.htm and
// data/userkey.ini.
void RunFavouritesDialog(QWidget* parent, FavouritesDialog::UrlOpener open);

}  // namespace quillon
