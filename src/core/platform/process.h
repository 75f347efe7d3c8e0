#pragma once

#include <string>

namespace quillon {

// Starts `program` with one argument (none when `argument` is empty) and does
// not wait for it. The started program is detached from this process, so it
// outlives it and never becomes a zombie. False when it could not be started
// (the file is missing or not executable).
bool StartDetached(const std::string& program, const std::string& argument);

}  // namespace quillon
