#!/usr/bin/env bash
# The main job: sets up a fresh machine (idempotently), builds the launcher and starts it
# under Wine with a display of its own, then prints how it ended.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
cmake --preset windows
cmake --build --preset windows --target ZYR_ENGINE

# The installation lives on drive C of the demo prefix: Wine reports the root of drive Z
# (the host's /) as a reparse point, which the launcher rightly refuses to work under.
ZYR_WINE_ROOT=build/demo-wine scripts/with-wine bash -c '
  set -e
  install_dir="$WINEPREFIX/drive_c/Games/ZYR_ENGINE"
  rm -rf "$install_dir"
  mkdir -p "$install_dir"
  cp "$1" "$install_dir/"
  set +e
  wine "C:\\Games\\ZYR_ENGINE\\ZYR_ENGINE.exe" >/dev/null 2>&1
  echo "ZYR_ENGINE.exe exited with code $?"
' demo build/windows/src/launcher/ZYR_ENGINE.exe
