#!/usr/bin/env bash
# install_test.sh BUILD-DIR C-COMPILER [PYTHON=yes|no]
#
# Installs BUILD-DIR into a temporary prefix; checks that the installed
# kyhost runs the installed plug-ins and that nothing refers to the build
# tree; builds the plug-in of out_of_tree_plugin/ outside the tree against
# the installed copy, once with its CMake package and once with pkg-config;
# and calls both builds through the installed kyhost with KYHOST_PATH.
set -euo pipefail
build=$(cd "$1" && pwd)
cc=$2
python=${3:-yes}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/ky-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }
expect() { # expect WANT COMMAND...
  local want=$1; shift
  local got
  got=$("$@") || fail "failed: $*"
  [ "$got" = "$want" ] || fail "$*: expected '$want', got '$got'"
}

# A copy of the tree moved after installing must still work: install into
# one place, then move it.
cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/prefix"
prefix=$work/prefix
kyhost=$prefix/bin/kyhost
unset KYHOST_PATH LD_LIBRARY_PATH

for file in include/ky/ky.h include/ky/kyx.h include/ky/ky_export.h include/ky/kyhost_embed.h lib/libky.so lib/libkyx.so \
            lib/kyhost/plugins/sweeptri.so lib/kyhost/plugins/nearwalk.so lib/kyhost/plugins/byteappend.so \
            lib/kyhost/plugins/trinterp.so \
            share/ky/plugin/plugin_strings.c share/ky/plugin/plugin_exports.map \
            lib/cmake/ky/kyConfig.cmake lib/cmake/ky/kyConfigVersion.cmake lib/pkgconfig/ky.pc; do
  [ -e "$prefix/$file" ] || fail "not installed: $file"
done
for binary in "$kyhost" "$prefix"/lib/*.so "$prefix"/lib/kyhost/plugins/*.so; do
  if grep -E 'R(UN)?PATH' <<<"$(readelf -d "$binary")" | grep -F "$build" >/dev/null; then
    fail "$binary refers to the build tree"
  fi
done

expect "3,2,1" "$kyhost" sweeptri num:0,1,0 num:0,0,1
expect "2,4" "$kyhost" nearwalk num:0,1,0,1 num:0,0,1,1 num:1,4,2 num:0.9,0.8 num:0.2,0.9
expect "1.5" "$kyhost" trinterp num:0,1,0 num:0,0,1 num:0,1,2 num:1,2,3 num:0.5 num:0.5
# The Python package, found through PYTHONPATH as the README says.
site=$(ls -d "$prefix"/lib/python3*/dist-packages 2>/dev/null | head -n 1)
if [ "$python" = yes ] && [ -n "$site" ] && [ -d "$site/kyhost" ]; then
  expect "[3]" env PYTHONPATH="$site" /usr/bin/python3 -c \
    "import kyhost; print(kyhost.Triangulation([0, 1, 0, 1], [0, 0, 1, 1]).nearest([0.9], [0.8]).tolist())"
fi
# Read whole before searching: grep -q stops at the first match, and the
# program writing the rest into a closed pipe would fail the pipeline.
help=$("$kyhost" --help) || fail "--help failed"
grep -qF "$prefix/lib/kyhost/plugins/sweeptri.so" <<<"$help" || fail "--help does not list the installed plug-ins"

# With the CMake package.
cmake -S "$here/out_of_tree_plugin" -B "$work/cmake-build" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake-build" >/dev/null
[ -f "$work/cmake-build/scaleby.so" ] || fail "the CMake build made no scaleby.so"
expect "2,4,6" env KYHOST_PATH="$work/cmake-build" "$kyhost" scaleby num:1,2,3 num:2
expect "error: scaleby: F must be a scalar." \
  sh -c "KYHOST_PATH='$work/cmake-build' '$kyhost' scaleby num:1 num:1,2 2>&1; test \$? -eq 1"
expect "100 Karvel R11 native
101 not inlined" env KYHOST_PATH="$work/cmake-build" "$kyhost" --strings scaleby
help=$(env KYHOST_PATH="$work/cmake-build" "$kyhost" --help) || fail "--help failed"
grep -q "^  scaleby " <<<"$help" || fail "--help does not list scaleby"

# With pkg-config, as the comment in ky.pc shows.
if command -v pkg-config >/dev/null; then
  export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
  sources=$(pkg-config --variable=pluginsourcedir ky)
  mkdir -p "$work/pc-build"
  # shellcheck disable=SC2046
  "$cc" -shared -fPIC -fexceptions -fvisibility=hidden $(pkg-config --cflags ky) "$here/out_of_tree_plugin/scaleby.c" \
    "$sources/plugin_strings.c" "$sources/plugin_precision.c" -Wl,--version-script="$sources/plugin_exports.map" \
    $(pkg-config --libs ky) -o "$work/pc-build/scaleby.so"
  expect "-1.5" env KYHOST_PATH="$work/pc-build" "$kyhost" scaleby num:3 num:-0.5
  grep -q ' kyxFunction$' <<<"$(nm -D --defined-only "$work/pc-build/scaleby.so")" || fail "kyxFunction not exported"
fi
echo "install test: passed ($prefix)"
