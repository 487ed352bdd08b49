#!/usr/bin/env bash
# Builds the Windows installer from the two cross-built DLLs and the network
# server with Debian's makensis.
# Usage: tools/installer/build.sh --version V --dll64 PATH --dll32 PATH --server PATH --out FILE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
version= dll64= dll32= server= out=
while [ $# -gt 0 ]; do
  case $1 in
    --version) version=$2; shift 2 ;;
    --dll64) dll64=$2; shift 2 ;;
    --dll32) dll32=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: $0 --version V --dll64 PATH --dll32 PATH --server PATH --out FILE" >&2; exit 2 ;;
  esac
done
[ -n "$version" ] && [ -f "$dll64" ] && [ -f "$dll32" ] && [ -f "$server" ] && [ -n "$out" ] ||
  { echo "usage: $0 --version V --dll64 PATH --dll32 PATH --server PATH --out FILE" >&2; exit 2; }
# NSIS's version resource takes four numbers.
[[ $version =~ ^[0-9]+(\.[0-9]+){3}$ ]] || { echo "version must be four numbers: $version" >&2; exit 2; }
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
mkdir -p "$(dirname "$out")"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DDLL64="$(abs "$dll64")" -DDLL32="$(abs "$dll32")" -DSERVER="$(abs "$server")" \
  -DOUTFILE="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")" "$here/quillmoor.nsi"
