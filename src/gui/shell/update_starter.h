#pragma once

#include <chrono>

namespace quillon {

class CMainFrame;

// The main frame's update-worker seam: starts the update check of the
// program folder on its own thread. When the new data/main.htm has been
// saved, the program-wide tag file is reloaded and the frame's timer 2 is
// set, on which the bookshelf reloads its search entries. The worker belongs
// to `frame`: closing the window stops it, abandoning a transfer in progress.
void StartUpdateThread(CMainFrame* frame);

// The wait before the server is asked (10 seconds, so the first window is up
// and the start-up's own file reads are done). Tests shorten it.
void SetUpdateStartDelay(std::chrono::milliseconds delay);

}  // namespace quillon
