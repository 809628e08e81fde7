#!/bin/sh
# Runs a Windows program of the cross-build under Wine:
#   wine_run.sh PREFIX PROGRAM.exe [ARGS...]
# PREFIX is the Wine prefix (a folder of the build tree), made on first use.
# The program's own output goes to the caller; Wine's messages do not.
set -eu
if [ $# -lt 2 ]; then
  echo "usage: wine_run.sh PREFIX PROGRAM [ARGS...]" >&2
  exit 2
fi
WINEPREFIX=$1
shift
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wine=$(command -v wine64 || command -v wine || true)
if [ -z "$wine" ] || ! command -v wineserver >/dev/null; then
  echo "wine_run.sh: Wine is not installed (wine, wineserver); the Windows programs cannot run" >&2
  exit 1
fi
# Wine's server outlives the program, and so do the processes of the Wine
# session that the first program after the server's start brings up; had
# the program started them, they would keep the caller's stdout and stderr
# open (CTest would wait for them to close). So the server is started here,
# persistent, and the session is brought up with a first program, both
# detached from every pipe and from the lock (which they would otherwise
# hold for as long as they run). `wineserver -k` with the same WINEPREFIX
# ends them.
mkdir -p "$WINEPREFIX"
(
  flock 9
  if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
    "$wine" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
