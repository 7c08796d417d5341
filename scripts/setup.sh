#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12 machine and builds the
# Windows static libraries into a cache outside the work tree. Safe to run again: every
# step checks whether its result is already there.
#
#   ZYR_DEPS_CACHE   where the Windows builds go (default: ~/.cache/zyr-deps)
set -euo pipefail
shopt -s inherit_errexit

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache=${ZYR_DEPS_CACHE:-$HOME/.cache/zyr-deps}
jobs=$(nproc)

log() { printf "[setup] %s\n" "$*" >&2; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

packages=(
  build-essential cmake ninja-build clang-format git pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine wine64 xvfb xauth x11-utils imagemagick
  rapidjson-dev libssl-dev libzip-dev zlib1g-dev
  googletest libgtest-dev libbenchmark-dev
  python3 python3-cryptography openssl curl unzip zip
  # Wine's Direct3D 12 runs on Vulkan; the dialogs' Chinese texts need a CJK font.
  mesa-vulkan-drivers libvulkan1 fonts-wqy-microhei
)

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    log "Debian packages present"
    return
  fi
  log "installing: ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Source packages come from the release suite only: the security suite's newest revision
# may lack its Debian tarball, which makes apt-get source fail after the .orig arrived.
enable_deb_src() {
  local list=/etc/apt/sources.list.d/zyr-deb-src.sources
  if [ -f "$list" ]; then return; fi
  log "enabling deb-src for bookworm"
  as_root tee "$list" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  as_root apt-get update -q >&2
}

# Prints the path of the .orig tarball of a source package, downloading it when needed.
orig_tarball() {
  local pkg=$1 dir="$cache/src"
  mkdir -p "$dir"
  local found
  found=$(ls "$dir/${pkg}_"*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1 || true)
  if [ -z "$found" ]; then
    enable_deb_src
    (cd "$dir" && apt-get source --download-only "$pkg/bookworm" >&2) || true
    found=$(ls "$dir/${pkg}_"*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1 || true)
  fi
  [ -n "$found" ] || { echo "no source tarball for $pkg" >&2; exit 1; }
  echo "$found"
}

cross=x86_64-w64-mingw32
cflags="-O2"

build_openssl() {
  local tarball version prefix
  tarball=$(orig_tarball openssl)
  version=$(basename "$tarball" | sed -E 's/^openssl_([^.]+\.[^.]+\.[^.]+)\.orig.*/\1/')
  prefix="$cache/openssl-$version-mingw64-static-$(echo "$cflags" | tr -d ' -')"
  result=$prefix
  if [ -f "$prefix/.done" ]; then return; fi
  log "building OpenSSL $version for Windows"
  local work
  work=$(mktemp -d)
  tar -xf "$tarball" -C "$work"
  (
    cd "$work"/openssl-*
    ./Configure mingw64 --cross-compile-prefix=$cross- --prefix="$prefix" --libdir=lib \
      no-shared no-tests no-engine no-module no-legacy no-dso "$cflags"
    make -j"$jobs" build_libs
    make install_dev
  )
  rm -rf "$work"
  touch "$prefix/.done"
}

# Cross-builds the CMake project in <source> for Windows and installs it, static, into
# <prefix>, which is marked done afterwards; further arguments go to the configure step.
cmake_cross_install() {
  local source=$1 prefix=$2
  shift 2
  local build
  build=$(mktemp -d)
  cmake -S "$source" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build "$build" -j"$jobs"
  cmake --install "$build"
  rm -rf "$build"
  touch "$prefix/.done"
}

build_libzip() {
  local tarball version prefix
  tarball=$(orig_tarball libzip)
  version=$(basename "$tarball" | sed -E 's/^libzip_([0-9.]+)\.orig.*/\1/')
  prefix="$cache/libzip-$version-mingw64-static-$(echo "$cflags" | tr -d ' -')"
  result=$prefix
  if [ -f "$prefix/.done" ]; then return; fi
  log "building libzip $version for Windows"
  local work
  work=$(mktemp -d)
  tar -xf "$tarball" -C "$work"
  cmake_cross_install "$work"/libzip-* "$prefix" -DCMAKE_C_FLAGS="$cflags" \
    -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_GNUTLS=OFF \
    -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DBUILD_OSSFUZZ=OFF
  rm -rf "$work"
}

# GoogleTest's sources ship in Debian's googletest package under /usr/src.
build_googletest() {
  local version prefix
  version=$(dpkg-query -W -f='${Version}' googletest | sed -E 's/-.*//')
  prefix="$cache/googletest-$version-mingw64-static"
  result=$prefix
  if [ -f "$prefix/.done" ]; then return; fi
  log "building GoogleTest $version for Windows"
  cmake_cross_install /usr/src/googletest "$prefix" -Dgtest_disable_pthreads=OFF
}

install_packages
mkdir -p "$cache"
# Build output goes to stderr so that a caller can keep stdout for results.
build_openssl >&2
openssl_prefix=$result
build_libzip >&2
libzip_prefix=$result
build_googletest >&2
gtest_prefix=$result

# The presets read this file; it names the cached builds this machine has.
cat >"$cache/windows-deps.cmake" <<EOF
set(ZYR_WIN_OPENSSL_ROOT "$openssl_prefix" CACHE PATH "")
set(ZYR_WIN_LIBZIP_ROOT "$libzip_prefix" CACHE PATH "")
set(ZYR_WIN_GTEST_ROOT "$gtest_prefix" CACHE PATH "")
EOF
log "Windows dependencies: $cache/windows-deps.cmake"
