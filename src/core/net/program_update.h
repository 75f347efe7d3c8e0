#pragma once

#include <string>

namespace quillon {

// True when the update checker left a program file `candidate` (relative to
// the program folder, e.g. "data/quillon.np") whose digest differs from the
// running program file `running`. False when the candidate is missing or the
// digests are equal.
bool NeedsProgramUpdate(const std::string& candidate, const std::string& running);

}  // namespace quillon
