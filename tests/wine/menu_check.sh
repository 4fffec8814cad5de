#!/usr/bin/env bash
# Runs orvanta-menu-check.exe (tests/wine/menu_check.cpp) under Wine: the program's real
# windows, menus and layouts checked from inside the process.
#   tests/wine/menu_check.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
[ -f "$orv_build/orvanta-menu-check.exe" ] || exit 77

cp "$orv_build/orvanta-menu-check.exe" "$orv_app/"
cd "$orv_app"
output=$(timeout 120 wine orvanta-menu-check.exe 2>&1)
status=$?
echo "$output"
orv_check "the in-process check ran to the end" grep -q ' passed, ' <<<"$output"
orv_check "no in-process check failed" grep -q ' 0 failed' <<<"$output"
orv_check "the check program exited with 0" test "$status" -eq 0
echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]
