#!/usr/bin/env bash
# Tries the release as a new user would. Builds it twice from the same commit (tools/release.sh;
# the second time in a clone elsewhere, compiled anew) and compares the SHA-256 of every file;
# then unpacks the zip into a fresh Wine prefix and the Debian package into a scratch root and
# runs the example with each (tests/release/test_release.py).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

tools/install-deps.sh man-db
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "test-release.sh: commit your changes first: the second build is made from the commit" >&2
  exit 1
fi
tools/release.sh

# The second build starts from a clone in another folder and compiles everything anew (no
# compiler cache), so that neither a build path nor a cached object can make the two agree.
twin=$top/build/release-twin
echo "== second build of the release, in $twin"
rm -rf "$twin"
git clone -q "$top" "$twin"
git -C "$twin" checkout -q "$(git rev-parse HEAD)"
CCACHE_DISABLE=1 "$twin/tools/release.sh" >"$top/build/release-twin.log" 2>&1 || {
  echo "test-release.sh: the second build failed, see build/release-twin.log" >&2
  exit 1
}
if ! diff dist/SHA256SUMS "$twin/dist/SHA256SUMS"; then
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
