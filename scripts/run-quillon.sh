#!/usr/bin/env bash
# Starts the reader from the program folder laid out by the build.
set -euo pipefail
build=${1:-build}
# Qt WebEngine's sandbox refuses to run as root; turn it off for this process
# only when we are root.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a "$build/quillon"
fi
exec "$build/quillon"
