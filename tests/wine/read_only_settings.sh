#!/usr/bin/env bash
# A program directory where nothing can be written (config.ini and the folder made
# immutable): the program still starts on the stored geometry without any message, runs,
# closes normally, and the settings file keeps exactly what it held.
# Tests run as root, for whom permission bits mean nothing, so the files are made
# immutable with chattr; where that is not allowed the test is skipped.
#   tests/wine/read_only_settings.sh <mingw build dir>
set -u
command -v chattr >/dev/null 2>&1 || exit 77
. "$(dirname "$0")/wine_env.sh" "$@"

settings="$orv_app/config.ini"
printf '[parameters]\r\nhwnd=12\r\nLeft=1500\r\nTop=1200\r\nHeight=5250\r\nWidth=7500\r\n' > "$settings"
cp "$settings" "$orv_work/config.before"
unlock() { chattr -i "$settings" "$orv_app" 2>/dev/null; }
trap 'unlock; orv_cleanup' EXIT
chattr +i "$settings" "$orv_app" 2>/dev/null || { echo "chattr not allowed here"; exit 77; }
if touch "$orv_app/probe" 2>/dev/null; then echo "the folder is still writable"; exit 77; fi

orv_start
orv_check "the main window is shown" orv_wait_for 60 orv_main_visible
sleep 2
orv_shot read-only-settings
main_ids=$(orv_visible_window '^Orvanta$')
orv_check "no message box, only the main window" test "$(echo "$main_ids" | wc -l)" -eq 1
main_id=$(echo "$main_ids" | head -1)
geometry=$(xdotool getwindowgeometry "$main_id" 2>/dev/null)
echo "$geometry"
# 1500, 1200, 7500 x 5250 twips at 15 twips a pixel.
orv_check "the stored geometry is used" \
  sh -c "echo '$geometry' | grep -q 'Position: 100,80' && echo '$geometry' | grep -q 'Geometry: 500x350'"

xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers alt+F4
orv_program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
orv_check "closing the window ends the program" orv_wait_for 15 orv_program_gone
orv_check "config.ini still holds exactly what it held" cmp -s "$settings" "$orv_work/config.before"
orv_check "nothing new was written into the program folder" \
  test "$(ls "$orv_app" | sort | tr '\n' ' ')" = "config.ini lumvex.mp3 orvanta.exe "

echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]
