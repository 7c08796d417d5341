#!/usr/bin/env bash
# The main job: sets up a fresh machine (idempotently), builds the launcher and starts it
# under Wine with a display of its own, then prints how it ended.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
cmake --preset windows
cmake --build --preset windows --target ZYR_ENGINE

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo/ZYR_ENGINE"
cp build/windows/src/launcher/ZYR_ENGINE.exe "$demo/ZYR_ENGINE/"

ZYR_WINE_ROOT=build/demo-wine scripts/with-wine bash -c '
  set +e
  wine "$1" >/dev/null 2>&1
  echo "ZYR_ENGINE.exe exited with code $?"
' demo "$demo/ZYR_ENGINE/ZYR_ENGINE.exe"
