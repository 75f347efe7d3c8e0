#pragma once

namespace quillon {

// Call before the QApplication is created. Makes "宋体" reach web pages. Chromium refuses to run as root
// with its sandbox, so for a root process (a root shell, CI) the sandbox is
// switched off for this process only. Also shares OpenGL contexts, which
// WebEngine needs when it is loaded after the application starts.
void PrepareWebEngine();

}  // namespace quillon
