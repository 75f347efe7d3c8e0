#pragma once

#include <string>

namespace quillon {

// The program folder, ending in '/'. Every relative path of the system is
// relative to it. Two modes share it:
// - portable: the environment variable QUILLON_HOME (FETCHWELL_HOME for the
//   downloader, chosen with SetProgramHomeVariable) names it, a relative value
//   taken from the directory the program was started in; otherwise the
//   executable's folder when it holds data/ (the build tree, an unpacked copy);
// - installed: when the executable sits in <prefix>/bin with the defaults in
//   <prefix>/share/quillon/, it is $XDG_DATA_HOME/quillon/ (default
//   ~/.local/share/quillon/) plus the program's installed subfolder.
std::string GetProgramFolder();

// True when the program folder is the per-user one of an install.
bool IsInstalledMode();

// Makes the program folder usable before anything is read from or saved in
// it: creates it, checks that a file can be written there and, in installed
// mode, copies the shipped defaults from <prefix>/share/quillon/ where a file
// is missing. False with `error` (UTF-8) saying why when the folder cannot be
// created or written: the program must not run on without saving.
bool PrepareProgramFolder(std::string& error);

// The folder of the running executable, ending in '/'.
std::string GetExecutableFolder();

// The downloader's program: bin/fetchwell beside the reader when installed,
// else fetchwell/fetchwell in the program folder or beside the reader.
std::string GetDownloaderProgram();

// $XDG_DATA_HOME, or ~/.local/share/, ending in '/'.
std::string UserDataFolder();

// The user's download folder as `xdg-user-dir DOWNLOAD` gives it (the home
// folder when none is configured), ending in '/'.
std::string UserDownloadFolder();

// Returns the program folder and makes it the current directory.
std::string EnterProgramFolder();

// Which environment variable overrides the program folder ("QUILLON_HOME" by
// default), and the subfolder of the per-user folder the program uses when
// installed. The downloader sets "FETCHWELL_HOME" and "fetchwell/" before
// anything else runs.
void SetProgramHomeVariable(const char* name, const char* installedSubfolder = "");

// Full path of the running program file.
std::string GetProgramFile();

// Makes GetProgramFile answer `path` (empty: the real one), so tests can
// place the program in a fake install tree.
void SetProgramFileOverride(const std::string& path);

// Creates every folder along `path`. Back slashes count as '/', and runs of
// separators as one. Only an absolute path (beginning with '/') creates
// anything: each prefix ending in '/' is created in turn, so a folder path
// must end with '/' to be created itself. Returns 0 for an absolute path and
// 1 for a relative one. Failures of single creations (already there,
// read-only) are not reported.
int EnsureFolders(const std::string& path);

}  // namespace quillon
