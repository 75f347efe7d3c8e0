#include "core/library/book_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/library/book_formatter.h"
#include "core/library/book_text.h"
#include "core/library/replacing_file.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_codec.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

constexpr std::string_view kBookSuffix = ".txt";
constexpr size_t kMinNameBytes = 4;
constexpr size_t kRowPrefixBytes = 6;

std::string BookFolder() { return GetProgramFolder() + "book/"; }

// A name is a single file name inside book/: a '/' would reach into other
// folders ("../../x" would write anywhere the user can), and a NUL would cut
// the path short. Such names are refused like names that are too short.
bool IsAcceptableName(std::string_view name) {
    return name.size() >= kMinNameBytes && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// File names on disk are UTF-8; one that is not (copied from an old archive)
// is most likely GBK already and is shown as it is.
std::string NameFromDisk(std::string_view fileName) {
    return IsValidUtf8(fileName) ? Utf8ToGbk(fileName) : std::string(fileName);
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st{};
    if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(in);
        return false;
    }
    ReplacingFile out;
    bool ok = out.Open(to);
    char buffer[65536];
    while (ok) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        ok = out.Write(std::string_view(buffer, static_cast<size_t>(n)));
    }
    ::close(in);
    return ok && out.Commit();
}

// "convert_added_books=0" in data/book_encoding.txt stores added books
// byte for byte again, whatever their encoding.
bool ConvertsAddedBooks() {
    std::string settings;
    if (!ReadWholeFile(GetProgramFolder() + "data/book_encoding.txt", settings)) return true;
    return settings.find("convert_added_books=0") == std::string::npos;
}

// The library holds GBK books only, so that every rule that walks a book
// byte by byte (and the formatter) works on any added book: a book in
// another encoding is stored converted. The user learns how many characters
// GBK could not hold.
bool AddConvertedBook(const std::string& sourcePath, const std::string& dest, BookEncoding encoding,
                      bool format, Messenger& messenger,
                      const std::function<void(const std::string& text)>& progress) {
    std::string bytes;
    if (!ReadWholeFile(sourcePath, bytes)) {
        messenger.Inform(Gbk("源书目录不正确或书籍名字非法"));
        return false;
    }
    size_t replaced = 0;
    std::string gbk = ConvertBookBytes(bytes, encoding, &replaced);
    bytes = std::string();
    if (format) {
        if (FormatBookBytes(gbk, dest, progress, messenger) != 0) return false;
    } else {
        ReplacingFile out;
        if (!out.Open(dest) || !out.Write(gbk) || !out.Commit()) {
            messenger.Inform(Gbk("源书目录不正确或书籍名字非法"));
            return false;
        }
    }
    if (replaced > 0) {
        char count[32];
        std::snprintf(count, sizeof count, "%zu", replaced);
        messenger.Inform(Gbk("书籍已转换为GBK编码，其中") + count + Gbk("个字符无法转换，已显示为“?”。"));
    }
    return true;
}

// Moves `from` to `to` unless `to` exists, without the gap between a check
// and the move in which another program could create `to`. EEXIST in errno
// when `to` exists.
bool MoveNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace rename: a hard link fails on an
    // existing target just as well.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST || errno == ENOENT) return false;
    // Neither is supported (FAT): the plain rename after a last check.
    if (::access(to.c_str(), F_OK) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

std::string FileRowPrefix() { return Gbk("[文件]"); }
std::string FolderRowPrefix() { return Gbk("[目录]"); }

std::string BookRowText(const BookEntry& entry) {
    return (entry.isFolder ? FolderRowPrefix() : FileRowPrefix()) + entry.fileName;
}

std::string BookNameFromRow(std::string_view row) {
    if (row.size() < kRowPrefixBytes + kBookSuffix.size()) return std::string();
    return std::string(row.substr(kRowPrefixBytes, row.size() - kRowPrefixBytes - kBookSuffix.size()));
}

std::string BookStore::BookPath(std::string_view name) {
    return BookFolder() + GbkToUtf8(name) + std::string(kBookSuffix);
}

std::vector<BookEntry> BookStore::ListBooks() {
    std::vector<BookEntry> books;
    std::string folder = BookFolder();
    DIR* dir = opendir(folder.c_str());
    if (!dir) return books;
    while (dirent* e = readdir(dir)) {
        std::string_view fileName(e->d_name);
        if (!EndsWith(fileName, kBookSuffix)) continue;
        BookEntry entry;
        entry.path = folder + std::string(fileName);
        struct stat st{};
        // stat, not lstat: a link to a book elsewhere is a book; a broken
        // link is none.
        if (stat(entry.path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            entry.isFolder = true;
        } else if (!S_ISREG(st.st_mode)) {
            continue;
        }
        entry.fileName = NameFromDisk(fileName);
        entry.name = NameFromDisk(fileName.substr(0, fileName.size() - kBookSuffix.size()));
        entry.size = static_cast<long long>(st.st_size);
        entry.lastWrite = st.st_mtime;
        books.push_back(std::move(entry));
    }
    closedir(dir);
    std::sort(books.begin(), books.end(), [](const BookEntry& a, const BookEntry& b) {
        if (a.isFolder != b.isFolder) return a.isFolder;
        return a.name < b.name;
    });
    return books;
}

bool BookStore::AddBook(const std::string& sourcePath, std::string_view name, bool format,
                        Messenger& messenger,
                        const std::function<void(const std::string& text)>& progress) {
    if (sourcePath.empty()) {
        messenger.Inform(Gbk("源书目录不正确"));
        return false;
    }
    if (!IsAcceptableName(name)) {
        messenger.Inform(Gbk("书籍名字不正确"));
        return false;
    }
    std::string dest = BookPath(name);
    if (::access(dest.c_str(), F_OK) == 0 &&
        !messenger.AskYesNo(Gbk("该书籍己经存在,是否覆盖?"), MessageKind::Warning)) {
        return false;
    }
    EnsureFolders(dest);
    const BookEncoding encoding = DetectBookFileEncoding(sourcePath);
    if (encoding != BookEncoding::kGbk && ConvertsAddedBooks())
        return AddConvertedBook(sourcePath, dest, encoding, format, messenger, progress);
    if (format) return FormatBook(sourcePath, dest, progress, messenger) == 0;
    if (!CopyFileReplacing(sourcePath, dest)) {
        messenger.Inform(Gbk("源书目录不正确或书籍名字非法"));
        return false;
    }
    return true;
}

bool BookStore::RenameBook(std::string_view oldName, std::string_view newName, Messenger& messenger) {
    if (oldName.empty() || oldName.find('/') != std::string_view::npos) {
        messenger.Inform(Gbk("源书目录不正确"));
        return false;
    }
    if (!IsAcceptableName(newName)) {
        messenger.Inform(Gbk("书籍名字不正确"));
        return false;
    }
    std::string to = BookPath(newName);
    const std::string exists = Gbk("该书籍己经存在,请换个新名字?");
    if (::access(to.c_str(), F_OK) == 0) {
        messenger.Inform(exists);
        return false;
    }
    if (!MoveNoReplace(BookPath(oldName), to)) {
        messenger.Inform(errno == EEXIST ? exists : Gbk("更改名字失败,源书不存在"));
        return false;
    }
    return true;
}

bool BookStore::DeleteBook(std::string_view row, Messenger& messenger) {
    if (row.empty()) {
        messenger.Inform(Gbk("请从列表中选择要删除的书籍"));
        return false;
    }
    if (StartsWithIgnoreCase(row, FolderRowPrefix())) return false;
    if (row.size() < kRowPrefixBytes + kBookSuffix.size()) return false;
    std::string name = BookNameFromRow(row);
    if (name.find('/') != std::string::npos) return false;
    if (!messenger.AskYesNo(Gbk("你真的要删除书籍:《") + name + Gbk("》吗?"), MessageKind::Question)) {
        return false;
    }
    return ::unlink(BookPath(name).c_str()) == 0;
}

}  // namespace quillon
