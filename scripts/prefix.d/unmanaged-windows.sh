#!/usr/bin/env bash
# Xvfb runs without a window manager. Wine then waits up to two seconds for a manager to
# withdraw every window it hides; windows that Wine manages itself close at once (and draw
# their own caption, which the screenshots show).
set -euo pipefail
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
