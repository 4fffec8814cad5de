# Sourced by the Wine end-to-end scripts: a fresh Wine prefix on an Xvfb display of its
# own, the program copied into C:\Orvanta, and cleanup of every process on exit.
#   . wine_env.sh <mingw build dir>
# Exits 77 (skipped) when wine, Xvfb or the built program is missing.
orv_build=$(cd "${1:?usage: $0 <mingw build dir>}" 2>/dev/null && pwd) || exit 77
command -v wine >/dev/null 2>&1 || exit 77
command -v Xvfb >/dev/null 2>&1 || exit 77
[ -f "$orv_build/orvanta.exe" ] || exit 77
orv_src=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
orv_shots="$orv_build/../wine-shots"
mkdir -p "$orv_shots"

orv_work=$(mktemp -d /tmp/orv-wine.XXXXXX)
orv_xvfb_pid=
orv_cleanup() {
  WINEPREFIX="$orv_work/prefix" wineserver -k >/dev/null 2>&1 || true
  [ -n "$orv_xvfb_pid" ] && kill "$orv_xvfb_pid" 2>/dev/null
  rm -rf "$orv_work"
}
trap orv_cleanup EXIT

export WINEPREFIX="$orv_work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$orv_work/display" >/dev/null 2>&1 &
orv_xvfb_pid=$!
for _ in $(seq 100); do [ -s "$orv_work/display" ] && break; sleep 0.1; done
[ -s "$orv_work/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$orv_work/display")"

# First boot of a fresh prefix; then Wine draws the window frames itself (there is no
# window manager on the display), as a user on Windows would see them.
. "$orv_src/tests/wine/prefix.sh"
orv_boot_prefix || { echo "Wine could not boot a prefix"; exit 1; }
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w

orv_app="$WINEPREFIX/drive_c/Orvanta"
mkdir -p "$orv_app"
cp "$orv_build/orvanta.exe" "$orv_app/"
[ -f "$orv_build/lumvex.mp3" ] && cp "$orv_build/lumvex.mp3" "$orv_app/"

orv_failures=0
orv_check() {  # orv_check <description> <command...>
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    orv_failures=$((orv_failures + 1))
  fi
}

# Waits up to $1 seconds for the command to succeed.
orv_wait_for() {
  local seconds=$1
  shift
  local tries=$((seconds * 10))
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

orv_visible_window() {  # name regex -> ids of visible top-level windows
  xdotool search --onlyvisible --name "$1" 2>/dev/null
}

orv_shot() { import -window root "$orv_shots/$1.png" 2>/dev/null || true; }

orv_main_visible() { [ -n "$(orv_visible_window '^Orvanta$')" ]; }

# Starts orvanta.exe from its folder with the given arguments; its pid is orv_program_pid.
orv_start() {
  (cd "$orv_app" && exec wine orvanta.exe "$@" >/dev/null 2>&1) &
  orv_program_pid=$!
}
