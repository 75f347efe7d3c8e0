#include "core/library/folder_listing.h"

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

#include "core/text/byte_string.h"

namespace quillon {

std::string SizeText(long long bytes) {
    if (bytes < 1024) return Format("%d B", static_cast<int>(bytes));
    long long k = bytes / 1024;
    if (k > 1023) return Format("%.02f MB", static_cast<double>(k) / 1024.0);
    return Format("%d KB", static_cast<int>(k));
}

std::string TimeText(std::time_t t) {
    std::tm local{};
    if (!localtime_r(&t, &local)) return std::string();
    return Format("%04d-%02d-%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min);
}

std::string FileExtension(std::string_view name) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::string();
    return ToLowerAscii(name.substr(dot + 1));
}

bool IsShownFile(std::string_view name, std::string_view shownExtensions) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return true;
    std::string ext = FileExtension(name);
    if (ext == "txt") return true;
    // An empty extension ("name.") is a substring of everything; the title
    // text decides only for real extensions.
    if (ext.empty()) return !shownExtensions.empty();
    return FindGbk(shownExtensions, ext) != std::string_view::npos;
}

std::string NormaliseBrowseFolder(std::string_view text, size_t limit) {
    std::string s(text);
    for (char& c : s)
        if (c == '\\') c = '/';
    if (s.empty() || s.back() != '/') s.push_back('/');
    if (s.size() > limit) {
        size_t cut = limit;
        // Step back over UTF-8 continuation bytes so no character is split;
        // the folder name the box then shows still exists as typed.
        while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
        s.resize(cut);
    }
    return s;
}

std::vector<FolderEntry> ListLocalFolder(const std::string& folder, std::string_view shownExtensions,
                                         const std::atomic<bool>* cancel) {
    std::vector<FolderEntry> rows;
    // The path box may have cut the trailing '/' off a very long folder.
    std::string base = folder;
    if (!base.empty() && base.back() != '/') base.push_back('/');
    DIR* dir = opendir(base.empty() ? "." : base.c_str());
    if (!dir) return rows;
    while (const dirent* d = readdir(dir)) {
        if (cancel && cancel->load(std::memory_order_relaxed)) break;
        FolderEntry e;
        e.name = d->d_name;
        e.path = base + e.name;
        struct stat st {};
        // stat follows links, so a link to a folder opens as a folder; a
        // dangling link is skipped like a file that vanished meanwhile.
        if (stat(e.path.c_str(), &st) != 0) continue;
        e.isFolder = S_ISDIR(st.st_mode);
        if (!e.isFolder && !IsShownFile(e.name, shownExtensions)) continue;
        e.size = e.isFolder ? 0 : static_cast<long long>(st.st_size);
        e.lastWrite = st.st_mtime;
        rows.push_back(std::move(e));
    }
    closedir(dir);
    // The file system's order is arbitrary on Linux; a browser of folders
    // reads best with the two dot rows first, then folders, then files,
    // each by name.
    auto rank = [](const FolderEntry& e) {
        if (e.name == ".") return 0;
        if (e.name == "..") return 1;
        return e.isFolder ? 2 : 3;
    };
    std::sort(rows.begin(), rows.end(), [&](const FolderEntry& a, const FolderEntry& b) {
        int ra = rank(a), rb = rank(b);
        return ra != rb ? ra < rb : a.name < b.name;
    });
    return rows;
}

std::string FolderRowTarget(const FolderEntry& row) {
    if (row.name != "." && row.name != "..") return row.path;
    std::string p = row.path;
    size_t last = p.rfind('/');
    p = last == std::string::npos ? std::string() : p.substr(0, last);
    if (row.name == ".") {
        size_t prev = p.rfind('/');
        p = prev == std::string::npos ? std::string() : p.substr(0, prev + 1);
    }
    if (p.empty()) return row.path.starts_with('/') ? std::string("/") : std::string("./");
    return p;
}

std::string FillFileTypeTemplate(std::string_view templ, std::string_view fileUrl) {
    return ReplaceAll(templ, "URL", fileUrl);
}

}  // namespace quillon
