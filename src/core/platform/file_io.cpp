#include "core/platform/file_io.h"

#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

bool ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    struct stat st{};
    if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        out.reserve(static_cast<size_t>(st.st_size));
    }
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) out.clear();
    return ok;
}

bool WriteWholeFile(const std::string& path, std::string_view data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view data) {
    std::string tmp = path + ".tmp";
    if (!WriteWholeFile(tmp, data)) {
        unlink(tmp.c_str());
        return false;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool FileExists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

long long FileSize(const std::string& path) {
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

void DeleteFilesWithSuffix(const std::string& folder, std::string_view suffix) {
    DIR* d = opendir(folder.c_str());
    if (!d) return;
    std::string base = folder;
    if (!base.empty() && base.back() != '/') base.push_back('/');
    while (dirent* e = readdir(d)) {
        std::string_view name(e->d_name);
        if (name == "." || name == "..") continue;
        if (name.size() < suffix.size()) continue;
        if (name.substr(name.size() - suffix.size()) != suffix) continue;
        std::string full = base + std::string(name);
        struct stat st{};
        if (lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(full.c_str());
    }
    closedir(d);
}

}  // namespace quillon
