# Sourced by the Wine test scripts: boots the fresh prefix named by WINEPREFIX and makes
# sure it is whole before any test step runs. A first boot now and then leaves a prefix
# without its system DLLs ("could not load kernel32.dll"); such a prefix is booted anew.
#   orv_boot_prefix   -> 0 once the prefix runs programs, 1 after three failed boots
orv_boot_prefix() {
  local attempt
  for attempt in 1 2 3; do
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
    if [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] &&
       wine cmd /c echo ready 2>/dev/null | tr -d '\r' | grep -qx ready; then
      return 0
    fi
    echo "Wine prefix boot $attempt failed; booting a fresh one" >&2
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  done
  return 1
}
