#!/usr/bin/env bash
# Builds what ships (tools/package.sh, into build-package/dist) and tests the
# Debian package (tests/package/deb.sh); the installer is tested under Wine
# by tests/installer/run.sh. Ends with "N passed, N failed".
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
# A dist left from an older version would hold a second package.
rm -rf build-package/dist
mkdir -p build-package
if ! tools/package.sh --dist build-package/dist >build-package/package.log 2>&1; then
  tail -n 40 build-package/package.log
  echo "0 passed, 1 failed"
  exit 1
fi
cat build-package/package.log
exec tests/package/deb.sh --deb "$(ls build-package/dist/quillmoor_*.deb | head -1)"
