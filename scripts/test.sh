#!/usr/bin/env bash
# Sets up a fresh machine (idempotently), builds both presets and runs every test: the
# native ones under the sanitizers, the Windows ones under Wine with Xvfb.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
bash scripts/check-format.sh

cmake --preset native
cmake --build --preset native
cmake --preset windows
cmake --build --preset windows

# A fresh prefix for every run; within the run all Windows tests share it.
rm -rf build/wine

status=0
ctest --preset native || status=1
scripts/with-wine ctest --preset windows || status=1
exit $status
