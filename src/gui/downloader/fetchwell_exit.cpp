#include "gui/downloader/fetchwell_exit.h"

#include "core/net/program_update.h"
#include "core/platform/process.h"
#include "core/platform/program_folder.h"

namespace quillon {

namespace {
std::function<bool(const std::string&, const std::string&)>& UpdaterStarter() {
    static std::function<bool(const std::string&, const std::string&)> starter = StartDetached;
    return starter;
}
std::string& ProgramFileOverride() {
    static std::string path;
    return path;
}
}  // namespace

void SetUpdaterStarter(std::function<bool(const std::string&, const std::string&)> starter) {
    UpdaterStarter() = std::move(starter);
}

void SetFetchwellProgramFile(const std::string& path) { ProgramFileOverride() = path; }

bool RunFetchwellExit() {
    std::string folder = GetProgramFolder();
    std::string running = ProgramFileOverride().empty() ? GetProgramFile() : ProgramFileOverride();
    if (!NeedsProgramUpdate(folder + "data/fetchwell2", running)) return false;
    // A missing updater is not an error the user can act on: the next exit
    // tries again.
    UpdaterStarter()(folder + "np2", "update");
    return true;
}

}  // namespace quillon
