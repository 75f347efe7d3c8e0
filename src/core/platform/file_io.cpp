#include "core/platform/file_io.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
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

namespace {

std::atomic<unsigned> g_tempCounter{0};

std::string FolderPart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void SyncFolder(const std::string& path) {
    std::string folder = FolderPart(path);
    if (folder.empty()) folder = ".";
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Open(const std::string& path) {
    Discard();
    target_ = path;
    failed_ = false;
    // A short name that does not grow with the target's, so a target near the
    // name-length limit still gets written; pid and counter make it unique to
    // this writer. O_EXCL refuses a leftover of a crash, or a link someone
    // placed there, rather than writing through it.
    const std::string folder = FolderPart(path);
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        temp_ = folder + ".~" + std::to_string(getpid()) + "." +
                std::to_string(g_tempCounter.fetch_add(1)) + ".part";
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temp_.clear();
        return false;
    }
    // The new file takes the old one's place: a file the user made private
    // stays private.
    struct stat old{};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd_, old.st_mode & 07777);
    return true;
}

bool AtomicFileWriter::Write(std::string_view data) {
    if (fd_ < 0 || failed_) return false;
    while (!data.empty()) {
        ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool AtomicFileWriter::Commit(WriteDurability durability) {
    if (fd_ < 0 || failed_) {
        Discard();
        return false;
    }
    const bool flush = durability == WriteDurability::kFlushed;
    // Without the flush a power cut soon after the rename could leave an
    // empty file where the old one was.
    bool ok = !flush || ::fsync(fd_) == 0;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok) ok = std::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) ::unlink(temp_.c_str());
    temp_.clear();
    // The rename itself is only durable once the folder is.
    if (ok && flush) SyncFolder(target_);
    return ok;
}

void AtomicFileWriter::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool WriteFileAtomically(const std::string& path, std::string_view data) {
    return WriteFileAtomically(path, data, WriteDurability::kFlushed);
}

bool WriteFileAtomically(const std::string& path, std::string_view data,
                         WriteDurability durability) {
    AtomicFileWriter out;
    return out.Open(path) && out.Write(data) && out.Commit(durability);
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
