#!/usr/bin/env bash
# Tries the release as a new user would. Builds it twice from the same commit (tools/release.sh,
# fresh build directories each time) and compares the SHA-256 of every file; then unpacks the
# zip into a fresh Wine prefix and the Debian package into a scratch root and runs the example
# with each (tests/release/test_release.py).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

tools/install-deps.sh man-db
tools/release.sh
first=$(cat dist/SHA256SUMS)
echo "== second build of the release, for comparison"
tools/release.sh >/dev/null
if ! diff <(echo "$first") dist/SHA256SUMS; then
  echo "test-release.sh: two builds of the same commit differ (above)" >&2
  exit 1
fi
echo "== both builds gave the same bytes"

# The UI driver of the end-to-end tests reads the boxes of Velmora.exe.
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target ui_driver >/dev/null

# A build directory of its own, so that the Wine prefix is a fresh one.
test_build=$top/build/release-test
rm -rf "$test_build"
mkdir -p "$test_build"
trap 'tests/wine/session.sh stop "$test_build" >/dev/null 2>&1 || true' EXIT
tests/wine/session.sh start "$test_build" >/dev/null
VELMORA_BUILD_DIR=$test_build VELMORA_WINE_RUN=$top/tests/wine/wine-run.sh \
  VELMORA_UI_DRIVER=$top/build/win32/tests/ui_driver.exe VELMORA_DIST=$top/dist \
  python3 tests/release/test_release.py
