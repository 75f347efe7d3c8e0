#include "core/net/program_update.h"

#include "core/net/md5.h"
#include "core/platform/file_io.h"

namespace quillon {

bool NeedsProgramUpdate(const std::string& candidate, const std::string& running) {
    if (!FileExists(candidate)) return false;
    return FileDigest(candidate) != FileDigest(running);
}

}  // namespace quillon
