#pragma once

#include <string>

namespace quillon {

// The program folder: the folder of the running executable, ending in '/'.
// The environment variable QUILLON_HOME (FETCHWELL_HOME for the downloader,
// chosen with SetProgramHomeVariable) overrides it, so tests and packaged
// installs can point the program at another folder; a relative value is taken
// from the directory the program was started in. Every relative path of the
// system is relative to it.
std::string GetProgramFolder();

// Returns the program folder and makes it the current directory.
std::string EnterProgramFolder();

// Which environment variable overrides the program folder ("QUILLON_HOME" by
// default). The downloader sets "FETCHWELL_HOME" before anything else runs.
void SetProgramHomeVariable(const char* name);

// Full path of the running program file.
std::string GetProgramFile();

// Creates every folder along `path`. Back slashes count as '/', and runs of
// separators as one. Only an absolute path (beginning with '/') creates
// anything: each prefix ending in '/' is created in turn, so a folder path
// must end with '/' to be created itself. Returns 0 for an absolute path and
// 1 for a relative one. Failures of single creations (already there,
// read-only) are not reported.
int EnsureFolders(const std::string& path);

}  // namespace quillon
