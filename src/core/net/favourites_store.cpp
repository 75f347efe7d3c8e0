#include "core/net/favourites_store.h"

#include <utility>

#include "core/config/tag_file.h"
#include "core/platform/file_io.h"
#include "core/platform/messenger.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

constexpr int kRecommendedLines = 100;

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

bool ParseFavouriteLine(std::string_view line, Favourite& out) {
    // A GBK trail byte is never '*' (trail bytes start at 0x40), so a byte
    // search cannot cut a character.
    size_t first = line.find('*');
    if (first == std::string_view::npos) return false;
    size_t second = line.find('*', first + 1);
    if (second == std::string_view::npos) return false;
    out.description.assign(line.substr(0, first));
    out.url.assign(line.substr(first + 1, second - first - 1));
    return true;
}

std::vector<Favourite> LoadRecommendedFavourites(const std::string& tagPath) {
    std::vector<Favourite> result;
    TagFile tags;
    if (tags.Open(tagPath) != 0) return result;
    std::vector<std::string> lines;
    tags.GetBlock("[TJ_BEGIN]", "[TJ_END]", lines, kRecommendedLines);
    for (const auto& line : lines) {
        Favourite f;
        if (ParseFavouriteLine(line, f)) result.push_back(std::move(f));
    }
    return result;
}

FavouritesLoad LoadUserFavourites(const std::string& path, std::vector<Favourite>& out) {
    out.clear();
    TagText text;
    if (text.Load(path) != 0)
        return FileExists(path) ? FavouritesLoad::Unreadable : FavouritesLoad::Missing;
    std::string line;
    while (text.NextValue(line) == 0) {
        Favourite f;
        if (ParseFavouriteLine(line, f)) out.push_back(std::move(f));
    }
    return FavouritesLoad::Loaded;
}

bool SaveUserFavourites(const std::string& path, const std::vector<Favourite>& favourites) {
    std::string text;
    for (const auto& f : favourites)
        text += Format("%s*%s*\r\n", f.description.c_str(), f.url.c_str());

    // Flushed to disk before it replaces the old list: a power cut soon
    // after must not leave an empty file, losing every favourite at once.
    return WriteFileAtomically(path, text);
}

bool ValidateFavourite(Favourite& f, Messenger& messenger) {
    f.description.assign(TrimAscii(f.description));
    f.url.assign(TrimAscii(f.url));
    if (f.description.empty()) {
        messenger.Inform(Gbk("说明不能为空"));
        return false;
    }
    if (f.url.empty()) {
        messenger.Inform(Gbk("网址不能为空"));
        return false;
    }
    // The stored line has no escapes: a '*' would move the address into the
    // description on the next load, a line break would split the entry.
    if (f.description.find('*') != std::string::npos || f.url.find('*') != std::string::npos ||
        HasLineBreak(f.description) || HasLineBreak(f.url)) {
        messenger.Inform(Gbk("说明和网址中不能含有*号或换行"));
        return false;
    }
    if (f.description.compare(0, 2, "//") == 0) {
        messenger.Inform(Gbk("说明不能以//开头"));
        return false;
    }
    return true;
}

FavouritesList::FavouritesList(std::string tagPath, std::string userPath)
    : tagPath_(std::move(tagPath)), userPath_(std::move(userPath)) {}

void FavouritesList::Load() {
    rows_.clear();
    for (auto& f : LoadRecommendedFavourites(tagPath_))
        rows_.push_back({Kind::Recommended, false, std::move(f)});
    std::vector<Favourite> own;
    unreadable_ = LoadUserFavourites(userPath_, own) == FavouritesLoad::Unreadable;
    for (auto& f : own) rows_.push_back({Kind::User, false, std::move(f)});
}

bool FavouritesList::IsUserRow(int row) const {
    return row >= 0 && row < count() && rows_[static_cast<size_t>(row)].kind == Kind::User;
}

bool FavouritesList::CanEdit(int row, Messenger& messenger) const {
    if (row < 0 || row >= count()) {
        messenger.Inform(Gbk("请选择需要编辑的数据"));
        return false;
    }
    if (!IsUserRow(row)) {
        messenger.Inform(Gbk("只能编辑用户收藏数据"));
        return false;
    }
    return true;
}

bool FavouritesList::CanDelete(int row, Messenger& messenger) const {
    if (row < 0 || row >= count()) {
        messenger.Inform(Gbk("请选择需要删除的数据"));
        return false;
    }
    if (!IsUserRow(row)) {
        messenger.Inform(Gbk("只能删除用户收藏数据"));
        return false;
    }
    return true;
}

bool FavouritesList::UrlToOpen(int row, Messenger& messenger, std::string& url) const {
    if (row < 0 || row >= count()) {
        messenger.Inform(Gbk("请选择需要打开的数据"));
        return false;
    }
    url = rows_[static_cast<size_t>(row)].item.url;
    return true;
}

bool FavouritesList::Add(const Favourite& f, Messenger& messenger) {
    rows_.push_back({Kind::User, true, f});
    return Save(messenger);
}

bool FavouritesList::Replace(int row, const Favourite& f, Messenger& messenger) {
    if (!IsUserRow(row)) return false;
    rows_[static_cast<size_t>(row)].item = f;
    return Save(messenger);
}

bool FavouritesList::Delete(int row, Messenger& messenger) {
    if (!IsUserRow(row)) return false;
    rows_.erase(rows_.begin() + row);
    return Save(messenger);
}

bool FavouritesList::Save(Messenger& messenger) {
    if (unreadable_) {
        messenger.Inform(Gbk("收藏夹文件无法读取,为免覆盖原有收藏,本次修改未能保存"),
                         MessageKind::Warning);
        return false;
    }
    std::vector<Favourite> own;
    for (const auto& r : rows_)
        if (r.kind == Kind::User) own.push_back(r.item);
    if (!SaveUserFavourites(userPath_, own)) {
        messenger.Inform(Gbk("收藏夹保存失败,原有收藏文件未改动"), MessageKind::Warning);
        return false;
    }
    return true;
}

}  // namespace quillon
