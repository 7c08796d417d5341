#!/usr/bin/env bash
# Fails when a C++ source of ours does not follow .clang-format.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build/' || true)
if [ ${#files[@]} -eq 0 ]; then
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "check-format: run 'clang-format -i' on the files above" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files follow .clang-format"
