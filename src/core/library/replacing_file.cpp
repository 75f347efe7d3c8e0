#include "core/library/replacing_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/text/byte_string.h"

namespace quillon {

namespace {
std::atomic<unsigned> g_tempCounter{0};
}

ReplacingFile::~ReplacingFile() { Discard(); }

bool ReplacingFile::Open(const std::string& path) {
    Discard();
    target_ = path;
    failed_ = false;
    // The temporary name is short and does not grow with the target's, so a
    // target name near the file system's length limit still gets written; it
    // is unique to this process and call so two writers never share it.
    // O_EXCL refuses a leftover of a crash rather than writing through a link
    // someone placed there.
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        temp_ = Format("%s.~%d.%u.part", folder.c_str(), static_cast<int>(getpid()),
                       g_tempCounter.fetch_add(1));
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temp_.clear();
        return false;
    }
    return true;
}

bool ReplacingFile::Write(std::string_view data) {
    if (fd_ < 0 || failed_) return false;
    while (!data.empty()) {
        ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool ReplacingFile::Commit() {
    if (fd_ < 0 || failed_) {
        Discard();
        return false;
    }
    // Without the flush a crash right after the rename could leave an empty
    // book where the old one was.
    bool ok = ::fsync(fd_) == 0;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok) ok = std::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) ::unlink(temp_.c_str());
    temp_.clear();
    return ok;
}

void ReplacingFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

}  // namespace quillon
