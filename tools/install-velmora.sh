#!/usr/bin/env bash
# Builds the terminal tool optimised and installs it, with its manual page and guide, below
# /usr/local (or $VELMORA_PREFIX), so that `velmora` is on the PATH of this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${VELMORA_PREFIX:-/usr/local}

cmake --preset native-release >/dev/null
cmake --build --preset native-release --target velmora velmora_package_texts >/dev/null
sudo_cmd=()
if [ ! -w "$prefix" ] && [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" cmake --install build/native-release --prefix "$prefix" >/dev/null
echo "velmora: $prefix/bin/velmora ($("$prefix/bin/velmora" --version))"
