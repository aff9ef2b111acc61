#!/bin/sh
# Runs Vanecfg's Win32 window tests under Wine on a virtual X display, in a
# Wine prefix of their own (its desktop process then belongs to that
# display), and turns their screenshots into PNG files.
# Usage: win32_gui.sh WINE WINESERVER PREFIX TEST_PROGRAM ARTIFACTS
set -eu
here=$(dirname "$0")
wine=$1 wineserver=$2 prefix=$3 program=$4 artifacts=$5
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# A crash ends the test program instead of waiting in the debugger.
# The test program writes its screenshots there through Wine's Z: drive.
export DIRVANE_ARTIFACTS="Z:$artifacts"
mkdir -p "$prefix" "$artifacts"
status=0
# A virtual desktop (the two registry values) makes Wine draw the frames
# and captions of the windows itself, as no window manager runs on the
# display. The servers outlive their start, so their output goes nowhere: a pipe held
# open by them would keep xvfb-run waiting.
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    "$1" -p >/dev/null 2>&1 </dev/null
    "$2" wineboot -i >/dev/null 2>&1 </dev/null
    "$2" reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null 2>&1
    "$2" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 1024x768 /f \
        >/dev/null 2>&1
    "$1" -k
    "$1" -w
    "$1" -p >/dev/null 2>&1 </dev/null
    "$2" "$3"
    rc=$?
    "$1" -k
    exit $rc' sh "$wineserver" "$wine" "$program" || status=$?
python3 "$here/../support/bmp_to_png.py" "$artifacts"/vanecfg-win32-*.bmp
exit $status
