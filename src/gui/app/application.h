#pragma once

#include <functional>
#include <string>

namespace quillon {

inline constexpr const char* kVersionText = "5.3";
inline constexpr int kVersionNumber = 530;

// Start-up before the first window, in order: the program folder becomes the
// current directory; book/, book/lable/, data/ and temp/ are created; the
// interface fonts are made; data/gconfig.dat is loaded. Returns the program
// folder.
std::string StartApplication();

// Exit after the main window is gone, in order: temp/*.html deleted (other
// files and folders kept); when the update checker left a new program file in
// data/quillon.np that differs from the running one, the replacer
// `npquillon2` is started with "update" without waiting. A build whose
// updates belong to the package manager passes false and never replaces its
// own program file.
void ExitApplication(bool startReplacer = true);

// The program-file replacer's start, a seam for tests (default: detached
// process start). Receives the program path and the argument.
void SetReplacerStarter(std::function<bool(const std::string&, const std::string&)> starter);

// Path of the running program file, used for the digest comparison; a seam
// for tests.
void SetRunningProgramFile(const std::string& path);

}  // namespace quillon
