#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks. Usage: tools/install-deps.sh [native|windows|all]
set -euo pipefail

native=(cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev indi-bin libindi-dev)
# Both bitnesses of the DLL are built; only the 64-bit one runs under Wine
# here (this machine cannot start 32-bit programs, so there is no wine32).
windows=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-x86-64
         binutils-mingw-w64-i686 libwine-dev wine64 wine xvfb imagemagick fonts-wine)

case "${1:-all}" in
  native) wanted=("${native[@]}") ;;
  windows) wanted=("${windows[@]}") ;;
  *) wanted=("${native[@]}" "${windows[@]}") ;;
esac

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
