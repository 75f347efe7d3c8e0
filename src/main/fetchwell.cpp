// fetchwell: the downloader. A first argument beginning with "--" runs the
// command line; anything else is for the window.
#include <cstdio>
#include <cstring>

#include "core/downloader/command_line.h"
#include "core/platform/program_folder.h"

int main(int argc, char** argv) {
    // Before anything asks for the program folder: the downloader has its own.
    quillon::SetProgramHomeVariable("FETCHWELL_HOME");
    if (argc > 1 && std::strncmp(argv[1], "--", 2) == 0) return quillon::RunCommandLine(argc, argv);
    // The window is not part of this program yet; show what it can do instead.
    std::fputs(quillon::CommandLineHelp().c_str(), stdout);
    return 0;
}
