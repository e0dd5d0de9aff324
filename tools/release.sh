#!/usr/bin/env bash
# Builds the release from the checked-out commit into dist/ and prints the SHA-256 of each file:
#   dist/Velmora-<version>-win32.zip    Velmora.exe, VelmoraStudio.exe, velmora-cli.exe, the
#                                       guide, the license and the example folder
#   dist/velmora_<version>_amd64.deb    the terminal tool with its manual page and the guide
# The same commit gives the same bytes: every time stamp is the last commit's time
# (SOURCE_DATE_EPOCH), archive members are sorted, and the programs carry neither build paths
# nor link time stamps (presets release-native and release-win32). The release build
# directories are made anew each time; ccache keeps that quick.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

die() {
  echo "release.sh: $*" >&2
  exit 1
}

# The packaging tools (dpkg-shlibdeps, lintian) besides what every build needs.
tools/install-deps.sh dpkg-dev lintian

version=$(sed -n 's/^project(Velmora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || die "no version in CMakeLists.txt"
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: warning: the tree has uncommitted changes; the release will not match" \
    "commit $(git rev-parse --short HEAD)" >&2
fi

win32=$top/build/release-win32
native=$top/build/release-native
rm -rf "$win32" "$native" dist
mkdir -p dist

echo "== Windows programs ($win32)"
cmake --preset release-win32 >/dev/null
ninja -C "$win32" -t query velmora-cli >/dev/null 2>&1 ||
  die "this tree has no velmora-cli target: the terminal tool for Windows is not built here" \
    "(it comes with the terminal tool's branch); no release is made without it"
cmake --build --preset release-win32 --target Velmora velmora-cli VelmoraStudio

echo "== Linux program and package ($native)"
cmake --preset release-native >/dev/null
cmake --build --preset release-native
reported=$("$native/velmora" --version 2>&1 || true)
[ "$reported" = "velmora $version" ] ||
  die "build/release-native/velmora --version says '$reported', not 'velmora $version':" \
    "the terminal tool of this tree is not the finished one"
(cd "$native" && cpack -G DEB >/dev/null)
deb=velmora_${version}_$(dpkg --print-architecture).deb
cp "$native/$deb" dist/
# Errors fail the release; warnings and notes are printed for the record.
lintian_status=0
lintian_output=$(lintian --fail-on error "dist/$deb" 2>&1) || lintian_status=$?
grep -v 'running with root privileges' <<<"$lintian_output" >&2 || true
[ "$lintian_status" = 0 ] || die "lintian found errors in dist/$deb"

for program in "$win32/Velmora.exe" "$win32/velmora-cli.exe" "$win32/VelmoraStudio.exe" \
  "$native/velmora"; do
  ! grep -q "$top" "$program" || die "$program holds the build path $top"
done

echo "== Windows download"
python3 tools/make-zip.py "dist/Velmora-$version-win32.zip" "Velmora-$version" "$win32" \
  "$SOURCE_DATE_EPOCH"

echo "== dist/ (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH, commit $(git rev-parse --short HEAD))"
(cd dist && sha256sum -- * | tee SHA256SUMS)
