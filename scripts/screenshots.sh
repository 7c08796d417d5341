#!/usr/bin/env bash
# Takes a screenshot of every dialog of the launcher in each of its three languages into
# docs/screenshots/, under Wine with an Xvfb display of its own. Needs the windows build:
#
#   cmake --preset windows && cmake --build --preset windows --target dialog_gallery
#   bash scripts/screenshots.sh
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
gallery=$repo/build/windows/tests/ui/dialog_gallery.exe
out=$repo/docs/screenshots
[ -x "$gallery" ] || { echo "screenshots: build the dialog_gallery target first" >&2; exit 1; }
mkdir -p "$out"

take_all() {
  local gallery=$1 out=$2
  local dialogs=(failure direct3d12 update-available update-required check-unavailable
                 shortcut-placed progress-marquee progress-bar)
  local languages=("en:en_US.UTF-8" "zh-CN:zh_CN.UTF-8" "zh-TW:zh_TW.UTF-8")
  for entry in "${languages[@]}"; do
    local name=${entry%%:*} locale=${entry#*:}
    for dialog in "${dialogs[@]}"; do
      local file=$out/$name-$dialog.png
      coproc GALLERY { LC_ALL=$locale wine "$gallery" "$dialog" 2>/dev/null; }
      local line="" left top width height
      while read -r line <&"${GALLERY[0]}"; do
        line=${line%$'\r'}
        [[ $line == RECT* ]] && break
      done
      [[ $line == RECT* ]] || { echo "screenshots: $dialog did not appear" >&2; return 1; }
      read -r _ left top width height <<<"$line"
      import -window root -crop "${width}x${height}+${left}+${top}" +repage "png8:$file"
      echo >&"${GALLERY[1]}"
      wait "$GALLERY_PID"
      echo "$file"
    done
  done
}

export -f take_all
"$repo/scripts/with-wine" bash -c 'take_all "$@"' _ "$gallery" "$out"
