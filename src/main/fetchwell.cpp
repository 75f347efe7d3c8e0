// fetchwell: the downloader's command line. It links no desktop library, so
// it starts fast and runs on machines without a display; without arguments
// (or with arguments meant for the window) it becomes `fetchwell-gui`.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "core/downloader/command_line.h"
#include "core/platform/program_folder.h"

int main(int argc, char** argv) {
    // Before anything asks for the program folder: the downloader has its own.
    quillon::SetProgramHomeVariable("FETCHWELL_HOME", "fetchwell/");
    // Loading pages in a browser needs the window program's libraries.
    bool browser = false;
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--browser") == 0) browser = true;
    }
    if (!browser && argc > 1 && std::strncmp(argv[1], "--", 2) == 0) {
        // Only a download reads the settings of the program folder.
        for (int i = 1; i < argc; ++i) {
            if (std::strncmp(argv[i], "--download", 10) != 0) continue;
            std::string error;
            if (!quillon::PrepareProgramFolder(error)) {
                std::fprintf(stderr, "fetchwell: %s\n", error.c_str());
                return 1;
            }
            break;
        }
        return quillon::RunCommandLine(argc, argv);
    }
    std::string window = quillon::GetExecutableFolder() + "fetchwell-gui";
    argv[0] = window.data();
    execv(window.c_str(), argv);
    std::fprintf(stderr, "fetchwell: cannot start %s: %s\n", window.c_str(), std::strerror(errno));
    return 1;
}
