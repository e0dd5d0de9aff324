#!/usr/bin/env bash
# The rebuild benchmark (see bench/rebuild_bench.py): builds the optimised native `velmora`,
# Velmora.exe and the UI driver, starts the Wine session, and runs the cases. Arguments go to
# rebuild_bench.py, e.g.
#   bench/rebuild_bench.sh --no-wine          native only
#   bench/rebuild_bench.sh --runs 3 --cases many,many2x --wine-cases small
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

cmake --preset native-release >/dev/null
cmake --build --preset native-release --target velmora >/dev/null
export VELMORA_NATIVE=$top/build/native-release/velmora

wine=1
for argument in "$@"; do
  [ "$argument" = --no-wine ] && wine=0
done
if [ $wine = 1 ]; then
  build=$top/build/win32
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target Velmora ui_driver >/dev/null
  trap 'tests/wine/session.sh stop "$build" >/dev/null 2>&1 || true' EXIT
  tests/wine/session.sh start "$build" >/dev/null
  export VELMORA_BUILD_DIR=$build VELMORA_WINE_RUN=$top/tests/wine/wine-run.sh \
    VELMORA_UI_DRIVER=$build/tests/ui_driver.exe VELMORA_EXE=$build/Velmora.exe
fi
python3 bench/rebuild_bench.py "$@"
