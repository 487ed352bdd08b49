#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks. Usage: tools/install-deps.sh [native|windows|all]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

native=(cmake ninja-build g++ make binutils libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
        indi-bin libindi-dev libboost-dev nlohmann-json3-dev libjs-chart.js python3-requests chromium dpkg-dev file curl
        help2man lintian)
windows=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-x86-64
         binutils-mingw-w64-i686 libwine-dev wine64 wine xvfb imagemagick fonts-wine nsis libjs-chart.js)

case "${1:-all}" in
  native) wanted=("${native[@]}") ;;
  windows) wanted=("${windows[@]}") ;;
  *) wanted=("${native[@]}" "${windows[@]}") ;;
esac

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=no
apt_install() {
  [ "$updated" = yes ] || $sudo apt-get update -qq
  updated=yes
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

# 32-bit Windows programs need wine32, which only a machine that starts i386
# programs can run; elsewhere the 32-bit checks are skipped and say so. The
# probe builds its program with binutils, so a fresh machine gets that first.
if [ "${1:-all}" != native ] && ! command -v as >/dev/null; then
  echo "installing: binutils"
  apt_install binutils
fi
i386=no
if [ "${1:-all}" != native ] && "$here/i386-runs.sh"; then
  i386=yes
  wanted+=(wine32:i386)
fi

missing=()
# The browser tests drive chromium through playwright-core from npm; a
# machine whose Node.js brings its own npm needs no Debian npm.
[ "${1:-all}" = windows ] || command -v npm >/dev/null || missing+=(npm)
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
if [ "$i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  updated=no  # the new architecture's lists are not read yet
fi
apt_install "${missing[@]}"
