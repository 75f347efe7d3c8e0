#include "gui/app/application.h"

#include "core/config/window_config.h"
#include "core/net/program_update.h"
#include "core/platform/file_io.h"
#include "core/platform/process.h"
#include "core/platform/program_folder.h"
#include "gui/app/ui_fonts.h"

namespace quillon {

namespace {
std::function<bool(const std::string&, const std::string&)>& ReplacerStarter() {
    static std::function<bool(const std::string&, const std::string&)> starter = StartDetached;
    return starter;
}
std::string& RunningProgramFile() {
    static std::string path;
    return path;
}
}  // namespace

void SetReplacerStarter(std::function<bool(const std::string&, const std::string&)> starter) {
    ReplacerStarter() = std::move(starter);
}

void SetRunningProgramFile(const std::string& path) { RunningProgramFile() = path; }

std::string StartApplication() {
    std::string folder = EnterProgramFolder();
    EnsureFolders(folder + "book/lable/");
    EnsureFolders(folder + "data/");
    EnsureFolders(folder + "temp/");
    RegisterFontSubstitutions();
    CreateUiFonts();
    ProgramWindowConfig().Load(folder + "data/gconfig.dat");
    return folder;
}

void ExitApplication(bool startReplacer) {
    std::string folder = GetProgramFolder();
    DeleteFilesWithSuffix(folder + "temp", ".html");
    if (!startReplacer) return;
    std::string running = RunningProgramFile().empty() ? GetProgramFile() : RunningProgramFile();
    if (NeedsProgramUpdate(folder + "data/quillon.np", running)) {
        // A failure to start the replacer is ignored: the next exit tries again.
        ReplacerStarter()(folder + "npquillon2", "update");
    }
}

}  // namespace quillon
