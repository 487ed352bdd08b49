#!/usr/bin/env bash
# Builds everything that ships into dist/ (or --dist DIR):
#   Quillmoor-<version>-setup.exe   the Windows installer, both DLLs inside
#   quillmoor_<version>_amd64.deb   the Linux programs (CPack from their install rules)
# and prints each file's path and size. Build folders: build-win, build-win32
# (the cross builds, as the Wine suites use them) and build-deb.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
dist=dist
while [ $# -gt 0 ]; do
  case $1 in
    --dist) dist=$2; shift 2 ;;
    *) echo "usage: $0 [--dist DIR]" >&2; exit 2 ;;
  esac
done
jobs=${JOBS:-2}
tools/install-deps.sh all

# step LOG COMMAND...: output in LOG, shown when the command fails.
step() {
  local log=$1; shift
  "$@" >>"$log" 2>&1 || { echo "failed: $*" >&2; tail -n 40 "$log" >&2; exit 1; }
}

mkdir -p "$dist" build-win build-win32 build-deb
for arch in x86_64:build-win i686:build-win32; do
  dir=${arch#*:}
  log=$dir/package.build.log
  : >"$log"
  step "$log" cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-${arch%%:*}.cmake" \
    -DCMAKE_BUILD_TYPE=Release
  step "$log" cmake --build "$dir" -j "$jobs" --target quillmoor_driver
done
step build-win/package.build.log cmake --build build-win -j "$jobs" --target quillmoor-alpaca
log=build-deb/package.build.log
: >"$log"
step "$log" cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMOOR_SANITIZE= -DQUILLMOOR_TESTS=OFF
step "$log" cmake --build build-deb -j "$jobs"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-deb/CMakeCache.txt)

setup=$dist/Quillmoor-$version-setup.exe
step "$log" tools/installer/build.sh --version "$version" --dll64 build-win/driver/Quillmoor.DLL \
  --dll32 build-win32/driver/Quillmoor.DLL --server build-win/alpaca/quillmoor-alpaca.exe --out "$setup"
rm -f build-deb/quillmoor_*.deb
(cd build-deb && step package.build.log cpack -G DEB)
deb=$(ls build-deb/quillmoor_"$version"_*.deb)
cp "$deb" "$dist/"

for file in "$setup" "$dist/$(basename "$deb")" build-win/driver/Quillmoor.DLL build-win32/driver/Quillmoor.DLL; do
  printf '%-48s %9d bytes\n' "$file" "$(stat -c %s "$file")"
done
