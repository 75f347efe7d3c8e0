#pragma once

#include <functional>
#include <string>

namespace quillon {

// The hand-over at exit: when the update left data/fetchwell2 in the program
// folder and its digest differs from the running program's, the updater
// `np2` of the program folder is started with "update", without waiting.
// Returns true when the updater was asked to start.
bool RunFetchwellExit();

// Seams for tests: the updater's start (default: detached process start,
// receiving the program path and the argument) and the running program file
// used for the comparison (default: the executable itself).
void SetUpdaterStarter(std::function<bool(const std::string&, const std::string&)> starter);
void SetFetchwellProgramFile(const std::string& path);

}  // namespace quillon
