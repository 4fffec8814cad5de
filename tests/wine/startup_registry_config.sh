#!/usr/bin/env bash
# First start on a clean machine and what it leaves behind: the .swf/.spl association and
# the Korvane\Lumvex marker in the registry, config.ini beside the program (the window
# handle first, then the geometry), the window at its original size. A moved window comes
# back where it was after Exit and a restart. Default Player (Ctrl+D) redoes the
# association; a plain restart with the marker present writes nothing to the registry.
# Stored geometry out of range or off the screen gives the original size.
#   tests/wine/startup_registry_config.sh <mingw build dir>
set -u
. "$(dirname "$0")/wine_env.sh" "$@"

config="$orv_app/config.ini"
reg_value() {  # reg_value <key> <value name or "(Default)"> -> data
  local key=$1 name=$2
  if [ "$name" = "(Default)" ]; then
    wine reg query "$key" /ve 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ { sub(/.*REG_SZ[ \t]+/, ""); print; exit }'
  else
    wine reg query "$key" /v "$name" 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ { sub(/.*REG_SZ[ \t]+/, ""); print; exit }'
  fi
}
reg_has_key() { wine reg query "$1" >/dev/null 2>&1; }
ini_value() { tr -d '\r' <"$config" | sed -n "s/^$1= *//p" | head -1; }
expect_eq() { [ "$1" = "$2" ] || { echo "  got '$1', expected '$2'"; return 1; }; }

program_pid=
start_program() {
  cd "$orv_app" || return 1
  wine orvanta.exe >/dev/null 2>&1 &
  program_pid=$!
}
main_window() { orv_visible_window '^Orvanta$' | head -1; }
main_visible() { [ -n "$(main_window)" ]; }
program_gone() { ! kill -0 "$program_pid" 2>/dev/null; }
window_at() {  # window_at <x,y> <wxh>
  local geometry
  geometry=$(xdotool getwindowgeometry "$(main_window)" 2>/dev/null)
  grep -q "Position: $1 " <<<"$geometry" && grep -q "Geometry: $2\$" <<<"$geometry"
}
exit_program() {
  local id
  id=$(main_window)
  xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers ctrl+q
  orv_wait_for 15 program_gone
}

# --- First start ---
reg_has_key 'HKCR\.swf' && echo "note: the fresh prefix already has a .swf key"
start_program
# config.ini is re-created with just the handle, and the timer adds the geometry within
# milliseconds: look as early as possible, then look at the order of the keys.
# Each profile write rewrites the whole file, so a read can catch it empty or half
# written: keep reading until one read holds a key.
first_look=
for _ in $(seq 600); do
  if [ -s "$config" ]; then
    first_look=$(tr -d '\r' <"$config" 2>/dev/null)
    grep -q '=' <<<"$first_look" && break
  fi
  sleep 0.05
done
orv_check "main window titled Orvanta is shown" orv_wait_for 60 main_visible
sleep 1
echo "config.ini when first seen:"; sed 's/^/  /' <<<"$first_look"
orv_check "config.ini starts with the [parameters] section" \
  test "$(head -1 <<<"$first_look")" = "[parameters]"
# The program writes a blank before each number; Wine's profile functions drop it.
orv_check "the first key written is hwnd, the decimal handle" \
  grep -Eq '^hwnd= ?[1-9][0-9]*$' <<<"$(sed -n 2p <<<"$first_look")"
orv_check "config.ini holds nothing but hwnd and the geometry keys" \
  test -z "$(tr -d '\r' <"$config" | grep -Ev '^\[parameters\]$|^(hwnd|Left|Top|Height|Width)=' )"
keys_in_order=$(tr -d '\r' <"$config" | sed -n 's/=.*//p' | tr '\n' ' ')
orv_check "after a tick the keys are hwnd Left Top Height Width, in that order" \
  expect_eq "$keys_in_order" "hwnd Left Top Height Width "
orv_check "the stored geometry is the original size (1035, 690, 6015 high, 9090 wide)" \
  expect_eq "$(ini_value Left)/$(ini_value Top)/$(ini_value Height)/$(ini_value Width)" \
  "1035/690/6015/9090"
orv_check "the window is shown at 69,46 with 606x401 pixels" window_at 69,46 606x401
orv_shot startup-first-run

orv_check "HKCR\\.swf (default) is Lumvex.Lumvex" \
  expect_eq "$(reg_value 'HKCR\.swf' '(Default)')" "Lumvex.Lumvex"
orv_check "HKCR\\.swf Content Type is application/x-shockwave-flash" \
  expect_eq "$(reg_value 'HKCR\.swf' 'Content Type')" "application/x-shockwave-flash"
orv_check "HKCR\\.spl (default) is Lumvex.Lumvex" \
  expect_eq "$(reg_value 'HKCR\.spl' '(Default)')" "Lumvex.Lumvex"
orv_check "HKCR\\.spl Content Type is application/x-shockwave-flash" \
  expect_eq "$(reg_value 'HKCR\.spl' 'Content Type')" "application/x-shockwave-flash"
orv_check "the open command runs the program from C:\\Orvanta with the file" \
  expect_eq "$(reg_value 'HKCR\Lumvex.Lumvex\Shell\Open\command' '(Default)')" \
  '"C:\Orvanta\orvanta.EXE" "%1"'
orv_check "the default icon is the program's first icon" \
  expect_eq "$(reg_value 'HKCR\Lumvex.Lumvex\DefaultIcon' '(Default)')" 'C:\Orvanta\orvanta.EXE,0'
orv_check "HKLM\\Software\\Korvane\\Lumvex Registrated is YES" \
  expect_eq "$(reg_value 'HKLM\Software\Korvane\Lumvex' 'Registrated')" "YES"

# --- A moved window survives Exit and a restart ---
# Wine does not follow a move made behind its back (xdotool windowmove): drag the caption
# it draws, from 231 pixels right of the window's left edge, 10 below its top.
drag_caption() {  # drag_caption <from x> <from y> <dx> <dy>
  local x=$1 y=$2 dx=$3 dy=$4
  xdotool mousemove "$x" "$y"; sleep 0.3; xdotool mousedown 1; sleep 0.3
  for i in $(seq 10); do xdotool mousemove $((x + dx * i / 10)) $((y + dy * i / 10)); sleep 0.1; done
  xdotool mouseup 1
}
drag_caption 300 56 131 104
moved_saved() { [ "$(ini_value Left)/$(ini_value Top)" = "3000/2250" ]; }
orv_check "moving the window to 200,150 stores Left 3000 and Top 2250 twips" orv_wait_for 10 moved_saved
orv_check "Exit (Ctrl+Q) ends the program" exit_program
orv_check "after Exit config.ini still holds the moved position" moved_saved

start_program
orv_check "the restarted program shows its window" orv_wait_for 60 main_visible
sleep 1
orv_check "the restarted window comes back at 200,150 with the same size" window_at 200,150 606x401
orv_shot startup-restored

# --- Default Player redoes the association ---
wine reg delete 'HKCR\.swf' /f >/dev/null 2>&1
orv_check "the .swf key was deleted by hand" bash -c "! WINEPREFIX='$WINEPREFIX' wine reg query 'HKCR\\.swf' >/dev/null 2>&1"
xdotool windowactivate --sync "$(main_window)" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+d
swf_back() { [ "$(reg_value 'HKCR\.swf' '(Default)')" = "Lumvex.Lumvex" ]; }
orv_check "Ctrl+D (Default Player) writes HKCR\\.swf again" orv_wait_for 15 swf_back
orv_check "after Ctrl+D .swf has its Content Type" \
  expect_eq "$(reg_value 'HKCR\.swf' 'Content Type')" "application/x-shockwave-flash"
orv_check "after Ctrl+D the open command is there" \
  expect_eq "$(reg_value 'HKCR\Lumvex.Lumvex\Shell\Open\command' '(Default)')" \
  '"C:\Orvanta\orvanta.EXE" "%1"'
orv_check "after Ctrl+D the marker is there" \
  expect_eq "$(reg_value 'HKLM\Software\Korvane\Lumvex' 'Registrated')" "YES"
orv_check "Exit ends the program" exit_program

# --- With the marker present a start writes nothing to the registry ---
wine reg delete 'HKCR\.swf' /f >/dev/null 2>&1
wine reg delete 'HKCR\.spl' /f >/dev/null 2>&1
start_program
orv_check "the program starts again" orv_wait_for 60 main_visible
sleep 2
orv_check "with the marker present start-up leaves .swf deleted" bash -c "! WINEPREFIX='$WINEPREFIX' wine reg query 'HKCR\\.swf' >/dev/null 2>&1"
orv_check "with the marker present start-up leaves .spl deleted" bash -c "! WINEPREFIX='$WINEPREFIX' wine reg query 'HKCR\\.spl' >/dev/null 2>&1"
orv_check "Exit ends the program" exit_program

# --- Without the marker the next start redoes it ---
wine reg delete 'HKLM\Software\Korvane\Lumvex' /f >/dev/null 2>&1
start_program
orv_check "the program starts without the marker" orv_wait_for 60 main_visible
orv_check "a start without the marker writes .swf again" orv_wait_for 10 swf_back
orv_check "a start without the marker writes the marker again" \
  expect_eq "$(reg_value 'HKLM\Software\Korvane\Lumvex' 'Registrated')" "YES"
orv_check "Exit ends the program" exit_program

# --- Stored geometry the screen cannot use falls back to the original size ---
start_with_geometry() {  # start_with_geometry <left> <top> <height> <width>
  printf '[parameters]\r\nhwnd=1\r\nLeft=%s\r\nTop=%s\r\nHeight=%s\r\nWidth=%s\r\n' "$@" >"$config"
  start_program
  orv_wait_for 60 main_visible || return 1
  sleep 1
  window_at 69,46 606x401 || { xdotool getwindowgeometry "$(main_window)"; exit_program; return 1; }
  exit_program
}
orv_check "a left edge beyond 16 bits gives the original size" start_with_geometry 99999 690 6015 9090
orv_check "a window stored off the screen gives the original size" start_with_geometry 30000 30000 6015 9090
orv_check "a negative stored width gives the original size" start_with_geometry 1035 690 6015 -9090

echo "$orv_failures failed"
[ "$orv_failures" -eq 0 ]
