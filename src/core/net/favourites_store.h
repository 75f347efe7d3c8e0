#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class Messenger;

// One address of the favourites list. Both texts are GBK; neither may hold
// '*', which ends a field in the stored line "description*url*".
struct Favourite {
    std::string description;
    std::string url;
};

// Reads "description*url*..." : the text before the first '*' and the text
// between the first and the second '*'. False (out unchanged) for a line
// without two '*'.
bool ParseFavouriteLine(std::string_view line, Favourite& out);

// The recommended entries of the tag file at `tagPath`: the value lines
// between [TJ_BEGIN] and [TJ_END], at most 100 of them, unreadable lines
// skipped.
std::vector<Favourite> LoadRecommendedFavourites(const std::string& tagPath);

// Result of reading the user's favourites file.
enum class FavouritesLoad {
    Loaded,      // the file was read (it may hold no favourites)
    Missing,     // there is no file yet
    Unreadable,  // a file is there but could not be read
};

// The favourites of the user's file at `path`, in file order; comment lines
// ("//") and lines without two '*' are skipped.
FavouritesLoad LoadUserFavourites(const std::string& path, std::vector<Favourite>& out);

// Writes every favourite as "description*url*\r\n". The new text goes to a
// file beside `path`, is flushed to the disk and only then renamed over
// `path`, so a crash or a full disk leaves either the old or the new list,
// never a truncated one. False when anything failed (the old file stays).
bool SaveUserFavourites(const std::string& path, const std::vector<Favourite>& favourites);

// The edit dialog's check before saving: trims both fields, then refuses an
// empty description ("说明不能为空"), an empty address ("网址不能为空"), and
// text the stored line cannot hold: a '*' or a line break in either field,
// or a description beginning with "//", which the reader would take for a
// comment. A refusal is told through `messenger`; true when `f` may be saved.
bool ValidateFavourite(Favourite& f, Messenger& messenger);

// The rows of the favourites dialog and its commands. Recommended rows come
// first and are read-only; user rows follow and every change to them is
// written to the user's file at once.
class FavouritesList final {
public:
    enum class Kind { Recommended, User };
    struct Row {
        Kind kind = Kind::User;
        bool added = false;  // added since the list was loaded
        Favourite item;
    };

    FavouritesList(std::string tagPath, std::string userPath);

    // Builds the rows afresh from both files.
    void Load();
    const std::vector<Row>& rows() const { return rows_; }
    int count() const { return static_cast<int>(rows_.size()); }

    // Checks before the edit dialog opens. `row` is -1 when nothing is
    // selected. A refusal is told through `messenger`.
    bool CanEdit(int row, Messenger& messenger) const;
    bool CanDelete(int row, Messenger& messenger) const;
    // The address to open, or false (told) when nothing is selected.
    bool UrlToOpen(int row, Messenger& messenger, std::string& url) const;

    // Changes, each saved at once. When the file cannot be written the change
    // stays in the list (so the user still sees what was typed), the failure
    // is told and false is returned.
    bool Add(const Favourite& f, Messenger& messenger);
    bool Replace(int row, const Favourite& f, Messenger& messenger);
    bool Delete(int row, Messenger& messenger);

    // Whether a file that exists could not be read at load; saving is then
    // refused, since it would replace favourites the list never saw.
    bool userFileUnreadable() const { return unreadable_; }

private:
    bool Save(Messenger& messenger);
    bool IsUserRow(int row) const;

    std::string tagPath_;
    std::string userPath_;
    std::vector<Row> rows_;
    bool unreadable_ = false;
};

}  // namespace quillon
