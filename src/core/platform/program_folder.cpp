#include "core/platform/program_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {
const char* g_homeVariable = "QUILLON_HOME";
const char* g_installedSubfolder = "";

std::string& ProgramFileOverride() {
    static std::string path;
    return path;
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

std::string UserHome() {
    if (const char* h = std::getenv("HOME"); h && *h) return WithSlash(h);
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir) return WithSlash(pw->pw_dir);
    return "/tmp/";
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The defaults an install put beside the executable's bin/ folder, or empty
// when the executable does not sit in such a tree.
std::string InstalledDefaults(const std::string& programFolder) {
    std::string share = programFolder + "../share/quillon/";
    return IsFolder(share) ? share : std::string();
}

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

void SetProgramHomeVariable(const char* name, const char* installedSubfolder) {
    g_homeVariable = name;
    g_installedSubfolder = installedSubfolder ? installedSubfolder : "";
}

void SetProgramFileOverride(const std::string& path) { ProgramFileOverride() = path; }

std::string GetProgramFile() {
    if (!ProgramFileOverride().empty()) return ProgramFileOverride();
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

std::string GetExecutableFolder() {
    std::string file = GetProgramFile();
    size_t slash = file.rfind('/');
    if (slash == std::string::npos) return "./";
    return file.substr(0, slash + 1);
}

std::string UserDataFolder() {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory
    // rules require.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return WithSlash(xdg);
    return UserHome() + ".local/share/";
}

bool IsInstalledMode() {
    if (const char* home = std::getenv(g_homeVariable); home && *home) return false;
    std::string exe = GetExecutableFolder();
    // A data/ folder beside the executable is a portable copy (the build
    // tree, an unpacked archive), even a read-only one: that case is refused
    // with a message rather than quietly moved elsewhere.
    if (IsFolder(exe + "data")) return false;
    return !InstalledDefaults(exe).empty();
}

std::string GetProgramFolder() {
    if (const char* home = std::getenv(g_homeVariable); home && *home) return HomeFolder(home);
    if (IsInstalledMode()) return UserDataFolder() + "quillon/" + g_installedSubfolder;
    return GetExecutableFolder();
}

std::string GetDownloaderProgram() {
    if (IsInstalledMode()) return GetExecutableFolder() + "fetchwell";
    std::string inFolder = GetProgramFolder() + "fetchwell/fetchwell";
    // A program folder named by QUILLON_HOME holds only data: the downloader
    // is then the one beside the reader.
    std::string besideReader = GetExecutableFolder() + "fetchwell/fetchwell";
    if (access(inFolder.c_str(), X_OK) != 0 && access(besideReader.c_str(), X_OK) == 0) return besideReader;
    return inFolder;
}

std::string UserDownloadFolder() {
    // The same answer as `xdg-user-dir DOWNLOAD`: XDG_DOWNLOAD_DIR from
    // user-dirs.dirs, with $HOME expanded, else the home folder itself.
    std::string home = UserHome();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string dirs = (config && config[0] == '/') ? WithSlash(config) : home + ".config/";
    std::ifstream in(dirs + "user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 17, "XDG_DOWNLOAD_DIR=") != 0) continue;
        std::string value = line.substr(start + 17);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(value.size() > 5 && value[5] == '/' ? 6 : 5);
        if (!value.empty() && value[0] == '/') return WithSlash(value);
    }
    return home;
}

bool PrepareProgramFolder(std::string& error) {
    namespace fs = std::filesystem;
    error.clear();
    std::string folder = GetProgramFolder();
    bool installed = IsInstalledMode();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !IsFolder(folder)) {
        error = "cannot create the program folder " + folder + ": " +
                (ec ? ec.message() : std::string("a file of that name is in the way"));
        return false;
    }
    // Root passes access() everywhere, so a real file is written and removed;
    // data/ holds the settings and is checked on its own when it is there.
    for (const std::string& place : {folder, folder + "data/"}) {
        if (place != folder && !IsFolder(place)) continue;
        std::string probe = place + ".write-test-" + std::to_string(getpid());
        FILE* f = std::fopen(probe.c_str(), "w");
        if (!f) {
            error = "cannot write in the program folder " + place + ": " + std::strerror(errno);
            return false;
        }
        std::fclose(f);
        std::remove(probe.c_str());
    }
    if (!installed) return true;
    // First start (and after an upgrade): the shipped defaults are copied in
    // only where a file is missing, so the user's changes survive.
    std::string defaults = InstalledDefaults(GetExecutableFolder()) + g_installedSubfolder;
    if (!IsFolder(defaults)) return true;
    for (auto it = fs::recursive_directory_iterator(defaults, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::path target = fs::path(folder) / fs::relative(it->path(), defaults);
        if (it->is_directory()) {
            fs::create_directories(target, ec);
        } else if (!fs::exists(target)) {
            fs::copy_file(it->path(), target, ec);
        }
        if (ec) break;
    }
    if (ec) {
        error = "cannot copy the default files into " + folder + ": " + ec.message();
        return false;
    }
    return true;
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
