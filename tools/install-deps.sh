#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks. Usage: tools/install-deps.sh [native|windows|all]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

native=(cmake ninja-build g++ make binutils libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
        indi-bin libindi-dev libboost-dev nlohmann-json3-dev libjs-chart.js python3-requests chromium dpkg-dev file curl
        help2man lintian)
windows=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-x86-64
         binutils-mingw-w64-i686 libwine-dev wine64 wine xvfb imagemagick fonts-wine nsis libjs-chart.js
         libboost-dev nlohmann-json3-dev python3-requests)

case "${1:-all}" in
  native) wanted=("${native[@]}") ;;
  windows) wanted=("${windows[@]}") ;;
  *) wanted=("${native[@]}" "${windows[@]}") ;;
esac

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=no
apt_install() {
  # A mirror caught mid-sync fails one index; the others still serve, and
  # the install below says whether what it needs was among them.
  [ "$updated" = yes ] || $sudo apt-get update -qq || echo "apt-get update failed for some lists; going on with the rest"
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
fi

missing=()
# The browser tests drive chromium through playwright-core from npm; a
# machine whose Node.js brings its own npm needs no Debian npm.
[ "${1:-all}" = windows ] || command -v npm >/dev/null || missing+=(npm)
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt_install "${missing[@]}"
fi

# wine32 on its own: where it cannot be had (a mirror without the i386
# lists, say) the 32-bit checks are skipped, as on a machine without i386.
if [ "$i386" = yes ] && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  echo "installing: wine32:i386"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    updated=no  # the new architecture's lists are not read yet
  fi
  apt_install wine32:i386 || echo "wine32:i386 could not be installed: the 32-bit Windows checks will be skipped"
fi
exit 0
