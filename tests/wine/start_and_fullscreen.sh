#!/usr/bin/env bash
# orvanta.exe under Wine as a user meets it: the main window comes up titled "Orvanta"
# with its menu bar; Ctrl+S puts the movie area over the whole screen in a borderless
# window and hides the main window; Escape brings the main window back; the About box
# opens from the Help menu and closes with OK; closing the main window ends the program.
# Screenshots go to build/wine-shots/.
#   tests/wine/start_and_fullscreen.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"

orv_start
orv_check "main window titled Orvanta is shown" orv_wait_for 60 orv_main_visible
sleep 1
orv_shot main-window
orv_check "start-up wrote config.ini beside the program" test -f "$orv_app/config.ini"

# Ctrl+S: full screen.
orv_fullscreen_shown() {
  local id
  id=$(orv_visible_window '^Form1$' | head -1)
  [ -n "$id" ] || return 1
  xdotool getwindowgeometry "$id" | grep -q 'Position: 0,0' &&
    xdotool getwindowgeometry "$id" | grep -q 'Geometry: 1024x768' &&
    ! orv_main_visible
}
xdotool key --clearmodifiers ctrl+s
orv_check "Ctrl+S shows a borderless window over the whole screen and hides the main window" \
  orv_wait_for 10 orv_fullscreen_shown
orv_shot full-screen

# Escape: back to the main window.
orv_back_from_fullscreen() { orv_main_visible && [ -z "$(orv_visible_window '^Form1$')" ]; }
xdotool key Escape
orv_check "Escape hides the full-screen window and shows the main window again" \
  orv_wait_for 10 orv_back_from_fullscreen
orv_shot back-from-full-screen

# Closing the full-screen window with Alt+F4 returns to the main window as Escape does.
main_id=$(orv_visible_window '^Orvanta$' | head -1)
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+s
orv_check "Ctrl+S shows the full-screen window again" orv_wait_for 10 orv_fullscreen_shown
sleep 0.5
fullscreen_id=$(orv_visible_window '^Form1$' | head -1)
xdotool windowactivate --sync "$fullscreen_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers alt+F4
orv_check "Alt+F4 on the full-screen window brings the main window back and hides it" \
  orv_wait_for 10 orv_back_from_fullscreen
orv_check "the program is still running after Alt+F4 on the full-screen window" \
  kill -0 "$orv_program_pid"

# Help > About Orvanta..., then OK (the focused button) with the space bar.
orv_about_shown() { [ "$(orv_visible_window '^Orvanta$' | wc -l)" -ge 2 ]; }
main_id=$(orv_visible_window '^Orvanta$' | head -1)
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers alt+h
sleep 0.5
xdotool key Return
orv_check "Help > About opens the about box" orv_wait_for 10 orv_about_shown
sleep 1
orv_shot about-box
xdotool key space
orv_about_closed() { [ "$(orv_visible_window '^Orvanta$' | wc -l)" -eq 1 ]; }
orv_check "OK closes the about box" orv_wait_for 10 orv_about_closed
main_id=$(orv_visible_window '^Orvanta$' | head -1)

# The View menu, opened with the keyboard, for the screenshot of the menu bar. It is
# shown last: the Escape that closes it would otherwise still count as pressed when the
# full-screen window first polls the key.
xdotool windowactivate --sync "$main_id" >/dev/null 2>&1 || true
xdotool key --clearmodifiers alt+v
sleep 1
orv_shot view-menu
xdotool key Escape
sleep 0.3
xdotool key Escape
sleep 0.5

# Alt+F4 closes the main window: the program ends.
xdotool key --clearmodifiers alt+F4
orv_program_gone() { ! kill -0 "$orv_program_pid" 2>/dev/null; }
orv_check "closing the main window ends the program" orv_wait_for 15 orv_program_gone

echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]
