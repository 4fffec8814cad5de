#!/usr/bin/env bash
# Starting the program while it already runs: the older instance is asked to close and
# goes away, the newer one stays with its window, and config.ini names the newer window.
#   tests/wine/second_instance.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"

config="$orv_app/config.ini"
hwnd_in_config() { tr -d '\r' <"$config" 2>/dev/null | sed -n 's/^hwnd= *//p' | head -1; }
main_count() { orv_visible_window '^Orvanta$' | wc -l; }
alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! kill -0 "$1" 2>/dev/null; }

cd "$orv_app"
wine orvanta.exe >/dev/null 2>&1 &
first_pid=$!
one_window() { [ "$(main_count)" -eq 1 ]; }
orv_check "the first instance shows its window" orv_wait_for 60 one_window
has_hwnd() { [ -n "$(hwnd_in_config)" ]; }
orv_wait_for 10 has_hwnd
first_hwnd=$(hwnd_in_config)
first_window=$(orv_visible_window '^Orvanta$' | head -1)
echo "first instance: X window $first_window, handle $first_hwnd in config.ini"
sleep 1

wine orvanta.exe >/dev/null 2>&1 &
second_pid=$!
orv_check "the first instance ends once the second has started" orv_wait_for 30 gone "$first_pid"
sleep 2
orv_check "the second instance keeps running" alive "$second_pid"
orv_check "exactly one window titled Orvanta is left" one_window
orv_check "the window left is a new one" \
  test "$(orv_visible_window '^Orvanta$' | head -1)" != "$first_window"
second_hwnd=$(hwnd_in_config)
orv_check "config.ini now names a different window handle ($first_hwnd -> $second_hwnd)" \
  test -n "$second_hwnd" -a "$second_hwnd" != "$first_hwnd"
orv_shot second-instance

# A third start hands over the same way.
wine orvanta.exe >/dev/null 2>&1 &
third_pid=$!
orv_check "a third start ends the second instance" orv_wait_for 30 gone "$second_pid"
sleep 2
orv_check "the third instance keeps running" alive "$third_pid"
orv_check "still exactly one window titled Orvanta" one_window

# Closing the survivor ends the program for good.
xdotool key --clearmodifiers ctrl+q
orv_check "Exit ends the last instance" orv_wait_for 15 gone "$third_pid"
orv_check "no window titled Orvanta is left" orv_wait_for 5 test "$(main_count)" -eq 0

echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]
