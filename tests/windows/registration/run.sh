#!/usr/bin/env bash
# Registers the add-in with regsvr32 in a fresh Wine prefix and reads the
# registry back after each step:  run.sh BUILD-DIR DLL CHECKER
# TORVA_WINE_BITS (32 or 64, the DLL's) picks the regsvr32 that Office's
# bitness would: the checker, built alongside, reads the same registry view.
set -euo pipefail
build=$1 dll=$2 checker=$3
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../../tools/wine-run
prefix=$build/registration-prefix
rm -rf "$prefix" "$prefix.lock"
stage=$build/registration-stage
rm -rf "$stage" && mkdir -p "$stage" && cp "$dll" "$checker" "$stage/"
run() { "$wine_run" "$prefix" "$@"; }
check() { run "$stage/$(basename "$checker")" "$@"; }

check plant
windll=$(WINEPREFIX=$prefix winepath -w "$stage/TorvaAddIn.dll")
run regsvr32 /s "$windll"
check machine "$windll"
check objects "$windll"
run regsvr32 /s /u "$windll"
check absent
run regsvr32 /s /n /i:user "$windll"
check user "$windll"
run regsvr32 /s /u /n /i:user "$windll"
check absent
echo "registration round trip: ok"
