#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
#
# PREFIX is a Wine prefix of the build's own (created here on first use), so
# that parallel builds never share one. The settings below are what makes
# Wine usable for tests on a Linux machine:
# - WINEDEBUG=-all: Wine's own diagnostics would mix with the programs'
#   standard error, which the tests compare;
# - LC_ALL=C.UTF-8: Wine maps non-ASCII Unix file names only under UTF-8;
# - the 64-bit wineserver, kept running between programs (-p), serves both
#   32- and 64-bit programs; started afresh for each program it would cost
#   every run its start-up;
# - 64-bit programs start through wine64 directly; 32-bit ones through the
#   32-bit loader, which runs under qemu-user where the kernel cannot run
#   32-bit code, and then QEMU_RESERVED_VA keeps qemu's guest address space
#   as small as Wine allows (start-up time grows with it). Under qemu-user a
#   32-bit Windows program that runs two threads crashes or hangs the
#   emulator, so there the program is held to one processor (the library
#   then sorts on one thread) and KSATFIT_NO_THREADS tells the tests that
#   start threads of their own to skip.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 PREFIX PROGRAM.exe [ARGUMENTS...]" >&2
  exit 125
fi
prefix=$1
program=$2
shift 2

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
export WINESERVER=/usr/lib/wine/wineserver64
export QEMU_RESERVED_VA=0x80400000
unset DISPLAY WAYLAND_DISPLAY

# The machine type in the PE header: 0x8664 is x86-64, 0x14c is i386.
pe_offset=$(od -An -tu4 -j60 -N4 "$program" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$program" | tr -d ' ')
case $machine in
  8664) loader=/usr/lib/wine/wine64 ;;
  014c) loader=/usr/lib/wine/wine ;;
  *) echo "$0: $program is not a Windows program for x86 or x86-64" >&2; exit 125 ;;
esac

# One program at a time creates the prefix; the others wait for it. A prefix
# made by the 32-bit loader serves 32- and 64-bit programs alike.
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.ksatfit-ready" ]; then
    first=/usr/lib/wine/wine
    [ -x "$first" ] || first=/usr/lib/wine/wine64
    "$first" wineboot --init 9>&- </dev/null >/dev/null 2>&1 || true
    # wineboot returns before the prefix is complete; the wineserver ends
    # (and writes the registry) once it is.
    "$WINESERVER" -w 9>&-
    # A program that crashes must end, not wait for a debugger: no debugger
    # is started for 64- or 32-bit programs.
    for key in 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
               'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug'; do
      /usr/lib/wine/wine64 reg add "$key" /v Debugger /t REG_SZ /d "" /f 9>&- </dev/null >/dev/null 2>&1
    done
    "$WINESERVER" -w 9>&-
    if [ ! -f "$prefix/system.reg" ]; then
      echo "$0: cannot create the Wine prefix $prefix" >&2
      exit 125
    fi
    touch "$prefix/.ksatfit-ready"
  fi
  # The wineserver stays up for a minute after the last program ends, so it
  # neither costs every run its start-up nor outlives the tests for long.
  # With a fresh server, the first program also starts Wine's background
  # services, which live as long as the server and keep the standard output
  # and error they were given open (a test harness reading them would wait
  # for that minute): a program without output starts them instead. (Both
  # without the lock's descriptor, which they would otherwise hold.)
  if "$WINESERVER" -p60 9>&- </dev/null >/dev/null 2>&1; then
    /usr/lib/wine/wine64 cmd.exe /c exit 9>&- </dev/null >/dev/null 2>&1 || true
  fi
) 9>"$prefix.lock"

if [ "$loader" = /usr/lib/wine/wine ] &&
   grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
  export KSATFIT_NO_THREADS=1
  # One processor of the machine's, a different one for parallel tests.
  exec taskset -c $(( $$ % $(nproc) )) "$loader" "$program" "$@"
fi
exec "$loader" "$program" "$@"
