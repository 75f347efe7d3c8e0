#pragma once

namespace quillon {

// Registers the reading page as the reading panel of page hosts: it is told
// whether the frame is full screen, its full-screen button drives the
// frame, and a book reaches it in the order it needs. Call once at start.
void RegisterReadingPanel();

}  // namespace quillon
