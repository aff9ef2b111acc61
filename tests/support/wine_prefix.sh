#!/bin/sh
# Prepares the Wine prefix of a Windows test run: creates it when missing and
# starts a wineserver that stays until the cleanup test stops it.
# Usage: wine_prefix.sh WINE WINESERVER PREFIX
# The servers outlive this script, so their output goes to a file: a pipe
# held open by them would keep the test from ending.
set -eu
wine=$1 wineserver=$2
export WINEPREFIX=$3 WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
log=$WINEPREFIX/../wine-prefix.log
# The persistent server first: wineboot would start a passing one.
"$wineserver" -p >"$log" 2>&1 </dev/null || { cat "$log"; exit 1; }
"$wine" wineboot -i >>"$log" 2>&1 </dev/null || { cat "$log"; exit 1; }
echo "Wine prefix ready: $WINEPREFIX"
