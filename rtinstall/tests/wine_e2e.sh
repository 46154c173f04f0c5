#!/usr/bin/env bash
# End-to-end test of the real installer, cross-built with mingw-w64 and run
# headless under Wine in a fresh, throw-away prefix.
#
# Usage: wine_e2e.sh SOURCE_DIR BUILD_DIR
#   SOURCE_DIR  the rtinstall/ folder
#   BUILD_DIR   where rtinstall.exe and the stand-in tool are built
#
# Exit status: 0 all checks passed, 1 a check or the build failed, 77 Wine
# (or the cross compiler) cannot run here; the reason is printed.
#
# See the team's notes shared/notes/wine-mingw.md for the Wine findings
# this relies on: stdio of wineserver/wineboot on
# /dev/null or a file, CRLF output, never `wineserver -k9`, -1 -> 255.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 SOURCE_DIR BUILD_DIR" >&2
  exit 2
fi
SRC=$(cd "$1" && pwd) || exit 1
mkdir -p "$2" && BUILD=$(cd "$2" && pwd) || exit 1
T0=$SECONDS
stamp() { echo "[$((SECONDS - T0))s] $*"; }
skip() { echo "SKIPPED: $*"; exit 77; }
die() { echo "FAIL: $*"; exit 1; }

# ---- 1. Tools: install the cross compiler and Wine when they are missing ----
have_mingw() {
  command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 && command -v x86_64-w64-mingw32-objdump >/dev/null 2>&1
}
have_wine() { command -v wine >/dev/null 2>&1 && command -v wineserver >/dev/null 2>&1; }
if ! have_mingw || ! have_wine; then
  echo "installing g++-mingw-w64-x86-64 wine wine64 (missing tools)"
  apt_log=${TMPDIR:-/tmp}/rtinstall-e2e-apt.log
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo -n"; fi
  if command -v apt-get >/dev/null 2>&1; then
    export DEBIAN_FRONTEND=noninteractive
    { $sudo apt-get update -q && $sudo apt-get install -y -q --no-install-recommends \
        -o DPkg::Lock::Timeout=300 g++-mingw-w64-x86-64 wine wine64; } </dev/null >"$apt_log" 2>&1 ||
      echo "package installation failed (see $apt_log)"
  fi
fi
have_mingw || skip "mingw-w64 is missing and could not be installed (no apt-get, no root/sudo, or no network)"
stamp "cross compiler ready: x86_64-w64-mingw32-g++ $(x86_64-w64-mingw32-g++ -dumpversion)"

# ---- 2. Build the real program and the stand-in tool --------------------------
# Build errors are failures, never skips.
OUT=$BUILD/out
bash "$SRC/cross-build" "$OUT" || die "cross-build failed"
x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -static -s \
  -o "$OUT/quarrex-stand-in.exe" "$SRC/tests/stand_in_quarrex.cpp" || die "building the stand-in tool failed"
RTINSTALL=$OUT/rtinstall.exe
TOOL=$OUT/quarrex-stand-in.exe
stamp "built $RTINSTALL and the stand-in tool"

have_wine || skip "Wine is missing and could not be installed (no apt-get, no root/sudo, or no network)"
stamp "Wine ready: $(wine --version 2>/dev/null)"

# ---- 3. A fresh, throw-away, headless Wine prefix -----------------------------
WORK=$(mktemp -d -t rtinstall-e2e.XXXXXX) || die "mktemp failed"
WORK=$(cd "$WORK" && pwd -P)  # Wine sees the physical path
export WINEPREFIX=$WORK/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export HOME=${HOME:-$WORK}
unset DISPLAY WAYLAND_DISPLAY

server_started=0
stop_server() {
  if [ "$server_started" -eq 1 ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true  # SIGINT: flushes the registry
    timeout 30 wineserver -w </dev/null >/dev/null 2>&1 || true
    server_started=0
  fi
}
start_server() {
  # Persistent between runs, but gone 30 s after the last client even if
  # this script is killed before it can stop the server.
  wineserver -p30 </dev/null >/dev/null 2>&1 || return 1
  server_started=1
}
cleanup() {
  stop_server
  if [ "${RTINSTALL_E2E_KEEP:-0}" = 1 ]; then
    echo "kept $WORK"
  else
    rm -rf "$WORK"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$WINEPREFIX"
# Server and helper services first, with stdio on /dev/null or a file, so
# that no helper process holds a captured pipe open.
start_server || skip "wineserver cannot start"
if ! timeout 180 wineboot -i </dev/null >"$WORK/wineboot.log" 2>&1; then
  echo "note: wineboot -i failed; trying to run a program anyway"
  tail -5 "$WORK/wineboot.log" | sed 's/^/    /'
fi
stamp "prefix ready"

# Can Wine run a mingw-built console program at all?
mkdir -p "$WORK/probe"
cp "$TOOL" "$WORK/probe/quarrex.exe"
(cd "$WORK/probe" && timeout 60 wine quarrex.exe -d 'C:\' </dev/null >probe.out 2>probe.err)
probe_rc=$?
if [ $probe_rc -ne 0 ] || ! tr -d '\r' <"$WORK/probe/probe.out" | grep -qF 'unpacking into C:\'; then
  sed 's/^/    /' "$WORK/probe/probe.err" | head -10
  skip "Wine cannot run a mingw-built console program here (exit status $probe_rc)"
fi

# ---- 4. Checks -------------------------------------------------------------------
fails=0
checks=0
ok() { checks=$((checks + 1)); echo "ok   - $1"; }
bad() { checks=$((checks + 1)); fails=$((fails + 1)); echo "FAIL - $1"; }
check() { # check DESCRIPTION COMMAND...
  local desc=$1
  shift
  if "$@"; then ok "$desc"; else bad "$desc"; fi
}
compare() { # compare DESCRIPTION EXPECTED-FILE ACTUAL-FILE
  if cmp -s "$2" "$3"; then
    ok "$1"
  else
    bad "$1"
    diff -u "$2" "$3" | head -30 | sed 's/^/    /'
  fi
}

DRIVE_C=$WINEPREFIX/drive_c
RUN=$WORK/run  # rtinstall's current directory, seen as Z:\...
mkdir -p "$RUN"
RUN_WIN="Z:$(printf '%s' "$RUN" | tr / '\\')"

BANNER=$WORK/banner.txt
cat >"$BANNER" <<'EOF'
Karvel Vantorel Installer version 1.0.

This application installs the Karvel Vantorel run-time libraries. These
libraries are needed to run applications that were built for Karvel.
Use of this installer, and of the libraries that it installs, is governed
by the software licence agreement of the maker of the libraries and by the
licence of the application with which this installer came.

Once this installer has finished, you must add the directory <VANTO>\bin\win32
to your PATH environment variable, where <VANTO> represents the directory to
which you chose to install the run-time libraries. If you have a Karvel
directory (from a Karvel installation) on your PATH, you must add the
run-time libraries directory to the PATH before the Karvel directory.

Note: If you already have installed the run-time libraries for another
      application, you do not need to reinstall them. Simply make sure that
      your PATH is configured correctly as mentioned above.

EOF
NL=$'\n'
prompt() { printf 'Enter the directory to which to install the run-time libraries\n  [default: %s]: ' "$1"; }
tool_line() { printf 'quarrex stand-in: unpacking into %s\n' "$1"; }
already() { printf "Run-time libraries already installed at '%s'. Not reinstalling.\n" "$1"; }
NO_ANSWER="Error: standard input ended before a directory was entered. Nothing was installed.$NL"

# rt NAME DIR STATUS INPUT: runs rtinstall.exe in DIR with a fresh copy of
# the stand-in tool as DIR/quarrex.exe exiting with STATUS, and INPUT on
# standard input ("<eof>" for an empty input).  Sets RC; leaves NAME.o and
# NAME.e (CR removed) and NAME.log (the tool's log, if it ran) in $WORK.
rt() {
  local name=$1 dir=$2 status=$3 input=$4 in
  cp "$TOOL" "$dir/quarrex.exe"
  rm -f "$dir/quarrex.log"
  printf '%s\n' "$status" >"$dir/quarrex.status"
  if [ "$input" = "<eof>" ]; then
    in=/dev/null
  else
    in=$WORK/$name.in
    printf '%s' "$input" >"$in"
  fi
  (cd "$dir" && timeout 60 wine "$RTINSTALL" <"$in" >"$WORK/$name.out" 2>"$WORK/$name.err")
  RC=$?
  tr -d '\r' <"$WORK/$name.out" >"$WORK/$name.o"
  tr -d '\r' <"$WORK/$name.err" >"$WORK/$name.e"
  rm -f "$WORK/$name.log"
  if [ -e "$dir/quarrex.log" ]; then tr -d '\r' <"$dir/quarrex.log" >"$WORK/$name.log"; fi
  rm -f "$dir/quarrex.status"
  echo "# $name: exit status $RC"
}
expect_out() { # NAME TEXT-AFTER-BANNER
  { cat "$BANNER"; printf '%s' "$2"; } >"$WORK/$1.expected-out"
  compare "$1: standard output" "$WORK/$1.expected-out" "$WORK/$1.o"
}
expect_err() { # NAME TEXT
  printf '%s' "$2" >"$WORK/$1.expected-err"
  compare "$1: standard error" "$WORK/$1.expected-err" "$WORK/$1.e"
}
status_is() { [ "$RC" -eq "$1" ]; }
tool_gone() { [ ! -e "$1/quarrex.exe" ]; }
tool_not_run() { [ ! -e "$WORK/$1.log" ]; }
log_line() { [ -e "$WORK/$1.log" ] && grep -qxF -- "$2" "$WORK/$1.log"; }
ran_once() { [ -e "$WORK/$1.log" ] && [ "$(grep -c '^cmdline=' "$WORK/$1.log")" -eq 1 ]; }
is_dir() { [ -d "$1" ]; }
is_file() { [ -f "$1" ]; }
absent() { [ ! -e "$1" ]; }
born_in_order() { # PATH... : birth times (where the file system keeps them) never decrease
  local previous=0 t
  for p in "$@"; do
    t=$(stat -c '%.9W' "$p" 2>/dev/null) || return 1
    case $t in 0 | 0.000000000 | -) echo "    (no birth times on this file system; order shown by existence)"; return 0 ;; esac
    awk -v a="$previous" -v b="$t" 'BEGIN { exit !(a <= b) }' || return 1
    previous=$t
  done
}
reg_on_disk() { # waits for the flushed registry file, then looks for the record
  local i
  for i in $(seq 1 100); do
    if grep -qF '[Software\\Brellwick\\Vantorel\\6.0]' "$WINEPREFIX/system.reg" 2>/dev/null; then break; fi
    sleep 0.1
  done
  grep -A3 -F '[Software\\Brellwick\\Vantorel\\6.0]' "$WINEPREFIX/system.reg" | grep -qxF "$1"
}

# A drive letter that does not exist in the prefix.
MISSING=""
for letter in q r s t u v w x y; do
  if [ ! -e "$WINEPREFIX/dosdevices/$letter:" ]; then MISSING=${letter^^}; break; fi
done

stamp "running the scenarios"

# End of standard input before any character: nothing installed, -1.
rt eof "$RUN" 0 "<eof>"
check "eof: exit status -1 (255)" status_is 255
expect_out eof "$(prompt "$RUN_WIN")"
expect_err eof "$NO_ANSWER"
check "eof: tool not run" tool_not_run eof
check "eof: quarrex.exe deleted" tool_gone "$RUN"

# A path that is a file fails at its own create.
printf 'data' >"$DRIVE_C/vantorel-file"
rt file "$RUN" 0 'C:\vantorel-file'$'\r\n'
check "file: exit status -1 (255)" status_is 255
expect_out file "$(prompt "$RUN_WIN")"
expect_err file 'Error: could not create C:\vantorel-file.'"$NL"
check "file: tool not run" tool_not_run file
check "file: still a file" is_file "$DRIVE_C/vantorel-file"
check "file: quarrex.exe deleted" tool_gone "$RUN"

# C:/a/b with C:\a missing: its parent is taken as C:, only the final create is tried.
rt slash "$RUN" 0 'C:/va/b'$'\n'
check "slash: exit status -1 (255)" status_is 255
expect_err slash 'Error: could not create C:/va/b.'"$NL"
check "slash: C:\\va not created" absent "$DRIVE_C/va"
check "slash: tool not run" tool_not_run slash
check "slash: quarrex.exe deleted" tool_gone "$RUN"

# A drive that does not exist: the parent of X:\ and X: is the path itself.
if [ -n "$MISSING" ]; then
  n=0
  for form in "$MISSING:\\" "$MISSING:" "$MISSING:\\vantorel\\lib"; do
    n=$((n + 1))
    rt nodrive$n "$RUN" 0 "$form"$'\n'
    check "nodrive$n ($form): exit status -1 (255)" status_is 255
    expect_err nodrive$n "Error: could not create $form.$NL"
    check "nodrive$n: tool not run" tool_not_run nodrive$n
    check "nodrive$n: quarrex.exe deleted" tool_gone "$RUN"
  done
else
  bad "no free drive letter for the missing-drive scenario"
fi

# A joined path that does not fit the 260-character buffers is refused.
long_answer="$(printf 'x%.0s' $(seq 1 200))\\$(printf 'y%.0s' $(seq 1 50))"
rt long "$RUN" 0 "$long_answer"$'\n'
check "long: exit status -1 (255)" status_is 255
expect_out long "$(prompt "$RUN_WIN")"
expect_err long "Error: could not create $RUN_WIN\\$long_answer.$NL"
check "long: nothing created" absent "$RUN/$(printf 'x%.0s' $(seq 1 200))"
check "long: tool not run" tool_not_run long
check "long: quarrex.exe deleted" tool_gone "$RUN"

# The tool fails: directories were created parents first and stay, the
# registry stays unchanged, -1.
target='C:\Vantorel RT\a\b\c'
rt toolfail "$RUN" 3 "$target"$'\r\n'
check "toolfail: exit status -1 (255)" status_is 255
expect_out toolfail "$(prompt "$RUN_WIN")$(tool_line "$target")$NL"
expect_err toolfail "Error: could not run command 'quarrex.exe -qq -u -d \"$target\"'.$NL"
check "toolfail: tool ran once" ran_once toolfail
check "toolfail: tool command line" log_line toolfail "cmdline=quarrex.exe -qq -u -d \"$target\""
check "toolfail: tool arguments" log_line toolfail "argv[4]=$target"
check "toolfail: tool -qq -u -d" eval 'log_line toolfail "argv[1]=-qq" && log_line toolfail "argv[2]=-u" && log_line toolfail "argv[3]=-d" && log_line toolfail "argc=5"'
check "toolfail: tool ran in the current directory" log_line toolfail "cwd=$RUN_WIN"
check "toolfail: directory existed when the tool ran" log_line toolfail "target_is_directory=yes"
check "toolfail: nested directories created" is_dir "$DRIVE_C/Vantorel RT/a/b/c"
check "toolfail: nested directories created parents first" \
  born_in_order "$DRIVE_C/Vantorel RT" "$DRIVE_C/Vantorel RT/a" "$DRIVE_C/Vantorel RT/a/b" "$DRIVE_C/Vantorel RT/a/b/c"
check "toolfail: quarrex.exe deleted" tool_gone "$RUN"

# Installed from the drive root: lib resolves to C:\\lib (two backslashes).
# The prompt of this run also shows that the failed run recorded nothing.
rt root "$DRIVE_C" 0 'lib'$'\n'
check "root: exit status 0" status_is 0
expect_out root "$(prompt 'C:\')$(tool_line 'C:\\lib')$NL"
expect_err root ""
check "root: tool ran once" ran_once root
check "root: tool command line" log_line root 'cmdline=quarrex.exe -qq -u -d "C:\\lib"'
check "root: directory created" is_dir "$DRIVE_C/lib"
check "root: quarrex.exe deleted" tool_gone "$DRIVE_C"

# A second run says "already installed", prompts for nothing, runs nothing.
rt again "$RUN" 0 'C:\elsewhere'$'\n'
check "again: exit status 0" status_is 0
expect_out again "$(already 'C:\\lib')$NL"
expect_err again ""
check "again: tool not run" tool_not_run again
check "again: nothing created" absent "$DRIVE_C/elsewhere"
check "again: quarrex.exe deleted" tool_gone "$RUN"

# The record persists in the registry file and across a server restart.
stamp "stopping the server"
stop_server
stamp "server stopped"
check "registry: InstallDir recorded as REG_SZ in system.reg" reg_on_disk '"InstallDir"="C:\\\\lib"'
start_server || bad "wineserver restart"
# A first program, with stdio on /dev/null, starts the helper services
# again so that none of them holds a test's output open (see the notes).
(cd "$WORK/probe" && timeout 60 wine quarrex.exe </dev/null >/dev/null 2>&1) || true
stamp "server restarted"
rt persist "$RUN" 0 $'\n'
check "persist: exit status 0" status_is 0
expect_out persist "$(already 'C:\\lib')$NL"
check "persist: tool not run" tool_not_run persist
check "persist: quarrex.exe deleted" tool_gone "$RUN"

# A recorded directory that no longer exists counts as no installation; an
# empty answer installs into the current directory, creating nothing.
rm -rf "$DRIVE_C/lib"
rt empty "$RUN" 0 $'\n'
check "empty: exit status 0" status_is 0
expect_out empty "$(prompt "$RUN_WIN")$(tool_line "$RUN_WIN")$NL"
expect_err empty ""
check "empty: tool command line" log_line empty "cmdline=quarrex.exe -qq -u -d \"$RUN_WIN\""
check "empty: quarrex.exe deleted" tool_gone "$RUN"
rt final "$RUN" 0 "<eof>"
check "final: exit status 0" status_is 0
expect_out final "$(already "$RUN_WIN")$NL"
check "final: quarrex.exe deleted" tool_gone "$RUN"

stamp "$checks checks, $fails failed"
[ "$fails" -eq 0 ] || exit 1
exit 0
