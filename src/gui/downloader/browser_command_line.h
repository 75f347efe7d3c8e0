#pragma once

namespace quillon {

// True when the arguments ask for --browser.
bool HasBrowserOption(int argc, char** argv);

// The command line (RunCommandLine) with --browser: every page is loaded in
// an off-screen browser, which needs Qt and therefore lives with the window
// program. Runs its own offscreen QApplication; returns the exit status.
int RunBrowserCommandLine(int argc, char** argv);

}  // namespace quillon
