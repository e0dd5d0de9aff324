#!/usr/bin/env bash
# Installs what is missing, builds the native and the Windows build, and runs every test:
# native unit tests under AddressSanitizer and UBSan, Windows unit tests under Wine, and the
# end-to-end tests of Velmora.exe under Wine and Xvfb with the Chinese locale. The fuzzers
# replay their corpora and fuzz each target briefly; the release is built and tried.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)"
ctest --preset native -j "$(nproc)"

tools/fuzz.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"
ctest --preset win32

# The terminal tool as a user runs it: optimised, on the PATH.
tools/install-velmora.sh

# The release as a user gets it: built twice to the same bytes, the zip under Wine, the package.
tools/test-release.sh
