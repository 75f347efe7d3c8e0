#include "core/platform/program_folder.h"

#include <cstdlib>
#include <limits.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {
const char* g_homeVariable = "QUILLON_HOME";

// The folder named by the home variable, ending in '/'. A relative name
// ("." or "myhome") is taken from the directory the program was started
// in: left relative, every path built from it would move once
// EnterProgramFolder changed the directory, and EnsureFolders creates nothing
// for a relative path. The first resolution of each value is kept for that
// reason.
std::string HomeFolder(const char* home) {
    std::string folder(home);
    if (folder.back() != '/') folder.push_back('/');
    if (folder[0] == '/') return folder;
    static std::mutex mutex;
    static std::string lastValue;
    static std::string lastFolder;
    std::lock_guard lock(mutex);
    if (folder != lastValue) {
        std::string rest = folder;
        while (rest.rfind("./", 0) == 0) rest.erase(0, 2);
        char cwd[PATH_MAX + 1];
        std::string base = getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string("/");
        if (base.back() != '/') base.push_back('/');
        lastValue = folder;
        lastFolder = base + rest;
    }
    return lastFolder;
}
}  // namespace

void SetProgramHomeVariable(const char* name) { g_homeVariable = name; }

std::string GetProgramFile() {
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

std::string GetProgramFolder() {
    if (const char* home = std::getenv(g_homeVariable); home && *home) return HomeFolder(home);
    std::string file = GetProgramFile();
    size_t slash = file.rfind('/');
    if (slash == std::string::npos) return "./";
    return file.substr(0, slash + 1);
}

std::string EnterProgramFolder() {
    std::string folder = GetProgramFolder();
    if (chdir(folder.c_str()) != 0) {
        // The folder may not exist yet when QUILLON_HOME names a new one.
        EnsureFolders(folder);
        (void)!chdir(folder.c_str());
    }
    return folder;
}

int EnsureFolders(const std::string& path) {
    std::string p;
    p.reserve(path.size());
    for (char c : path) {
        if (c == '\\') c = '/';
        if (c == '/' && !p.empty() && p.back() == '/') continue;
        p.push_back(c);
    }
    if (p.empty() || p[0] != '/') return 1;
    for (size_t i = 1; i < p.size(); ++i) {
        if (p[i] == '/') mkdir(p.substr(0, i + 1).c_str(), 0755);
    }
    return 0;
}

}  // namespace quillon
