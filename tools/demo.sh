#!/usr/bin/env bash
# The main job, shown on the shipped example: builds Velmora.exe and runs examples/demo/demo.vlm
# through it under Wine. With a display the person sees the dialog and answers the boxes;
# without one it runs under Xvfb, answers the boxes itself and prints them, saves a screenshot
# of the progress dialog, and lists the entries of the new archive with `velmora list`. The
# terminal tool `velmora` is built and installed on the way, so that it is at hand afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
build=$top/build/win32
velmora=$top/build/native-release/velmora  # built by install-velmora.sh

tools/install-deps.sh
tools/install-velmora.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Velmora ui_driver >/dev/null
echo "Velmora.exe: $build/Velmora.exe"

trap 'tests/wine/session.sh stop "$build" >/dev/null 2>&1 || true' EXIT
if [ -n "${DISPLAY:-}" ] && [ "${VELMORA_DEMO_HEADLESS:-0}" != 1 ]; then
  work=$build/demo
  rm -rf "$work" && cp -r examples/demo "$work"
  script="Z:$(echo "$work/demo.vlm" | tr / '\\')"
  echo "Running $script on $DISPLAY: answer the boxes in the windows that open."
  VELMORA_BUILD_DIR="$build" VELMORA_WINE_DISPLAY="$DISPLAY" \
    tests/wine/wine-run.sh "$build/Velmora.exe" "$script" || true
  if [ -f "$work/out/ui-new.wdf" ]; then
    "$velmora" list "$work/out/ui-new.wdf"
  else
    echo "No new archive was written (the run was refused or cancelled)."
  fi
else
  tests/wine/session.sh start "$build" >/dev/null
  VELMORA_BUILD_DIR="$build" VELMORA_WINE_RUN="$top/tests/wine/wine-run.sh" \
    VELMORA_UI_DRIVER="$build/tests/ui_driver.exe" VELMORA_EXE="$build/Velmora.exe" \
    python3 tools/demo.py "$top/examples/demo" "$velmora"
fi
