#!/usr/bin/env bash
# Installs the build and test dependencies from Debian's archive and builds the third-party
# libraries (cJSON, GoogleTest) for both Windows architectures into build/third_party/.
# Safe to run again: every step checks whether its result already exists.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LUMORA_BUILD_DIR:-$root/build}"
tp="$build/third_party"

packages=(
  cmake ninja-build make dpkg-dev file
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth x11-utils imagemagick libimage-exiftool-perl xdotool
  libz-mingw-w64-dev libstb-dev googletest zip librsvg2-bin
)

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

src_list=/etc/apt/sources.list.d/lumora-debian-src.sources
need_src=0
[ -d "$tp/src/cjson" ] || need_src=1
if [ "$need_src" = 1 ] && [ ! -f "$src_list" ]; then
  # deb-src for Debian's own archive, so cJSON comes from its Debian source package.
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  "${sudo_cmd[@]}" tee "$src_list" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  updated=0
else
  updated=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ "$need_src" = 1 ]; then
  echo "setup: installing ${missing[*]:-(nothing)}" >&2
  "${sudo_cmd[@]}" apt-get update -qq >/dev/null
  if [ "${#missing[@]}" -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
fi
: "$updated"

mkdir -p "$tp/src"

# cJSON from Debian's source package.
if [ ! -d "$tp/src/cjson" ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -qq --download-only cjson >/dev/null 2>&1 && dpkg-source -x --no-check ./*.dsc cjson >/dev/null)
  mv "$tmp/cjson" "$tp/src/cjson"
  rm -rf "$tmp"
fi

for arch in i686 x86_64; do
  out="$tp/$arch"
  cc="$arch-w64-mingw32-gcc-posix"
  if [ ! -f "$out/lib/libcjson.a" ]; then
    mkdir -p "$out/lib" "$out/include/cjson" "$out/obj"
    "$cc" -O2 -c "$tp/src/cjson/cJSON.c" -o "$out/obj/cJSON.o"
    "$arch-w64-mingw32-ar" rcs "$out/lib/libcjson.a" "$out/obj/cJSON.o"
    cp "$tp/src/cjson/cJSON.h" "$out/include/cjson/cJSON.h"
  fi
  if [ ! -f "$out/lib/libgtest.a" ]; then
    gb="$out/obj/googletest"
    cmake -S /usr/src/googletest -B "$gb" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$out" -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$gb" >/dev/null
    cmake --install "$gb" >/dev/null
  fi
done
