#!/usr/bin/env bash
# File > Open (Ctrl+O) shows a modal file dialog; a movie path typed into it and taken
# with Enter is shown in the main window; File > Close (Ctrl+W) empties the window again,
# and opening the same file after Close shows it again. Cancel changes nothing.
#   tests/wine/open_dialog.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"
[ -f "$orv_build/demo.swf" ] || exit 77
command -v compare >/dev/null 2>&1 || exit 77
cp "$orv_build/demo.swf" "$orv_app/demo.swf"

main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
dialog_window() { orv_visible_window '^Open' | head -1; }
dialog_shown() { [ -n "$(dialog_window)" ]; }
dialog_gone() { [ -z "$(dialog_window)" ]; }
shoot() {  # shoot <name>: picture of the main window
  xdotool mousemove 1000 750
  sleep 0.5
  import -window "$main_id" "$orv_work/$1.png" 2>/dev/null
  cp "$orv_work/$1.png" "$orv_shots/open-dialog-$1.png" 2>/dev/null
}
differing_pixels() {
  compare -metric AE -fuzz 2% "$orv_work/$1.png" "$orv_work/$2.png" null: 2>&1 | cut -d' ' -f1
}
differs() { local n; n=$(differing_pixels "$1" "$2"); echo "  $1 vs $2: $n pixels differ"; [ "${n%.*}" -gt 2000 ] 2>/dev/null; }
same() { local n; n=$(differing_pixels "$1" "$2"); echo "  $1 vs $2: $n pixels differ"; [ "${n%.*}" -lt 50 ] 2>/dev/null; }
focus_main() { xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true; xdotool windowfocus "$main_id" 2>/dev/null || true; }
open_via_dialog() {  # open_via_dialog <windows path>
  focus_main
  xdotool key --clearmodifiers ctrl+o
  orv_wait_for 15 dialog_shown || { echo "  no Open dialog"; return 1; }
  sleep 1
  xdotool type --delay 20 "$1"
  sleep 0.3
  xdotool key Return
  orv_wait_for 15 dialog_gone || { echo "  the dialog stayed open"; return 1; }
  sleep 2
}

cd "$orv_app"
wine orvanta.exe >/dev/null 2>&1 &
program_pid=$!
orv_check "main window titled Orvanta is shown" orv_wait_for 60 main_visible
main_id=$(main_window)
sleep 2
shoot empty

# Cancel: the dialog closes, nothing is loaded.
focus_main
xdotool key --clearmodifiers ctrl+o
orv_check "Ctrl+O opens a dialog titled Open" orv_wait_for 15 dialog_shown
sleep 1
orv_shot open-dialog
xdotool key Escape
orv_check "Escape cancels the dialog" orv_wait_for 15 dialog_gone
sleep 1
shoot cancelled
orv_check "cancelling loads nothing" same empty cancelled

orv_check "a typed path is taken with Enter" open_via_dialog 'C:\Orvanta\demo.swf'
shoot opened
orv_check "the chosen movie is shown in the window" differs empty opened

focus_main
xdotool key --clearmodifiers ctrl+w
sleep 2
shoot closed
orv_check "Ctrl+W (Close) empties the window again" same empty closed

orv_check "the same path can be opened again after Close" open_via_dialog 'C:\Orvanta\demo.swf'
shoot reopened
orv_check "after Close the same movie is shown again" differs empty reopened

orv_check "the program is still running" kill -0 "$program_pid"
focus_main
xdotool key --clearmodifiers ctrl+q
program_gone() { ! kill -0 "$program_pid" 2>/dev/null; }
orv_check "Exit ends the program" orv_wait_for 15 program_gone

echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]
