#!/usr/bin/env bash
# Cross-builds Vorn for 64-bit Windows with Debian's mingw-w64 and packs it:
#   build-windows/vorn-windows-x86_64.zip   vorn.exe, vorn-capture.exe and the data
# Installs what it needs (only what is missing), builds libogg and libvorbis
# for Windows from Debian's source packages once, builds the data with the
# Linux build (build/, so the zip holds exactly the Linux build's data) and
# checks that the zip's data is byte-identical to it. Run as root on Debian 12.
#
# Environment: VORN_WINDOWS_BUILD_DIR (default build-windows), VORN_BUILD_DIR
# (the Linux build, default build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/${VORN_WINDOWS_BUILD_DIR:-build-windows}
native=$root/${VORN_BUILD_DIR:-build}
triple=x86_64-w64-mingw32
jobs=$(nproc)
started=$(date +%s)
step() { echo "build-windows: $* ($(($(date +%s) - started)) s)"; }

# ---- packages ---------------------------------------------------------------
packages=(build-essential cmake pkg-config git dpkg-dev zip unzip
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  libsdl2-dev libepoxy-dev libvorbis-dev libogg-dev libstb-dev)
scripts/install-packages.sh "${packages[@]}"

# ---- libogg and libvorbis for Windows, from Debian's source packages ----------
deps=$out/deps
toolchain=$root/cmake/mingw-w64-x86_64.cmake
if [ ! -f "$deps/lib/libvorbisfile.a" ] || [ ! -f "$deps/lib/libogg.a" ]; then
  step "building libogg and libvorbis for Windows"
  if ! grep -rqs "deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    # apt-get source needs the source indexes of the same archive.
    cat > /etc/apt/sources.list.d/vorn-deb-src.sources <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    apt-get update -qq
  fi
  sources=$out/deps-src
  rm -rf "$sources" "$deps"
  mkdir -p "$sources"
  (cd "$sources" && apt-get source -qq libogg libvorbis 2>&1 | grep -v "^W: Download is performed unsandboxed" || true)
  for package in libogg libvorbis; do
    dir=$(find "$sources" -maxdepth 1 -type d -name "$package-*" | head -1)
    [ -n "$dir" ] || { echo "build-windows: apt-get source $package gave no source folder" >&2; exit 1; }
    cmake -S "$dir" -B "$sources/build-$package" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVORN_WINDOWS_DEPS="$deps" \
      -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF \
      -DCMAKE_INSTALL_PREFIX="$deps" -DCMAKE_PREFIX_PATH="$deps" >"$sources/$package-configure.log"
    cmake --build "$sources/build-$package" -j"$jobs" >"$sources/$package-build.log"
    cmake --install "$sources/build-$package" >/dev/null
  done
fi

# ---- the data and the icon, from the Linux build ------------------------------------
step "building the data with the Linux build ($native)"
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=${VORN_BUILD_TYPE:-RelWithDebInfo}
fi
cmake --build "$native" -j"$jobs" --target vorn_data vorn-tool
mkdir -p "$out"
"$native/vorn-tool" icon "$out/vorn.ico"

# ---- the programs -------------------------------------------------------------------
step "cross-compiling vorn.exe and vorn-capture.exe"
cmake -S . -B "$out/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVORN_WINDOWS_DEPS="$deps" \
  -DCMAKE_BUILD_TYPE=Release -DVORN_BUILD_TESTS=OFF -DVORN_BUILD_DATA=OFF -DVORN_WINDOWS_ICON="$out/vorn.ico" \
  >"$out/configure.log"
cmake --build "$out/build" -j"$jobs" --target vorn vorn-capture
for program in vorn vorn-capture; do
  "$triple-strip" -o "$out/$program.exe" "$out/build/$program.exe"
done

# ---- the zip ---------------------------------------------------------------------------
# The programs sit beside the data: Windows starts a program in its own
# folder, which the demo takes as the folder of its data files.
step "packing the zip"
stage=$out/vorn
rm -rf "$stage" "$out/vorn-windows-x86_64.zip"
mkdir -p "$stage"
cp -r "$native/data/." "$stage/"
cp "$out/vorn.exe" "$out/vorn-capture.exe" "$stage/"
cat > "$stage/README.txt" <<'README'
Vorn for 64-bit Windows

vorn.exe           the demo: choose a resolution, then watch. Escape ends it; hold A for the
                   music time and the frame rate.
vorn-capture.exe   renders the show offline into PNG frames, e.g.
                   vorn-capture.exe --at 30000 --size 640x480 --out frames
models, textures, shaders, milk.ogg   the demo's data, read from this folder.

Needs Windows 10 or 11 with Direct3D 9 (built in); nothing else to install.
README
(cd "$stage" && zip -q -r -X "$out/vorn-windows-x86_64.zip" .)

# The data in the zip, byte for byte the Linux build's.
check=$out/zip-check
rm -rf "$check"
mkdir -p "$check"
(cd "$check" && unzip -q "$out/vorn-windows-x86_64.zip")
rm "$check/vorn.exe" "$check/vorn-capture.exe" "$check/README.txt"
if ! diff -r -q "$native/data" "$check"; then
  echo "build-windows: the zip's data differs from $native/data" >&2
  exit 1
fi
rm -rf "$check"

step "done"
echo "build-windows: $out/vorn-windows-x86_64.zip ($(du -h "$out/vorn-windows-x86_64.zip" | cut -f1))"
echo "build-windows: DLLs vorn.exe imports:"
"$triple-objdump" -p "$out/vorn.exe" | grep 'DLL Name' | sed 's/^\s*/  /'
