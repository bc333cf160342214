# Shared by wine-setup, wine-run and wine-screenshot (sourced, not run).
# One dedicated 32-bit prefix for every Windows test binary, created once
# under a lock, with the dialog fonts mapped to the IPA Gothic fonts, and one
# Xvfb display shared by every test when no display is given.

QV_TOOLS_DIR=${QV_TOOLS_DIR:-$(cd "$(dirname "$0")" && pwd)}

export WINEARCH=win32
export WINEPREFIX="${QV_WINEPREFIX:-$HOME/.qv-wine}"
export WINEDEBUG="${QV_WINEDEBUG:--all}"
# No Mono or Gecko installer prompts, ever: nothing here needs them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Bump when the prepared state changes (fonts, registry); a prefix with an
# older stamp gets the registry part again, never a full rebuild.
QV_PREFIX_VERSION=qv-prefix-4

qv_die() {
  echo "$(basename "$0"): $*" >&2
  exit 125
}

# Font substitutes: the dialogs ask for these faces; the prefix has none of
# them, so point them at the installed IPA fonts (full-width names included).
# Windows are not handed to a window manager: Xvfb has none, and Wine would
# wait two seconds for one each time a managed window is hidden.
qv_write_prefix_reg() {
  cat >"$1" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
EOF
}

qv_import_registry() {
  local reg
  reg=$(mktemp --suffix=.reg) || return 1
  qv_write_prefix_reg "$reg"
  # regedit reads the file as UTF-16 or ANSI; UTF-16 keeps the Japanese names.
  iconv -f UTF-8 -t UTF-16 "$reg" >"$reg.u16" || { rm -f "$reg" "$reg.u16"; return 1; }
  wine regedit /S "$(winepath -w "$reg.u16")" || { rm -f "$reg" "$reg.u16"; return 1; }
  rm -f "$reg" "$reg.u16"
}

# Creates the prefix on first use; later calls only check the stamp (fast).
qv_ensure_prefix() {
  command -v wine >/dev/null || qv_die "wine is not installed"
  [ -f "$WINEPREFIX/.qv-ready" ] && [ "$(cat "$WINEPREFIX/.qv-ready")" = "$QV_PREFIX_VERSION" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")" || qv_die "cannot create $(dirname "$WINEPREFIX")"
  (
    flock -w 300 9 || qv_die "timed out waiting for the prefix lock"
    # Another run may have finished it while we waited.
    if [ -f "$WINEPREFIX/.qv-ready" ] && [ "$(cat "$WINEPREFIX/.qv-ready")" = "$QV_PREFIX_VERSION" ]; then
      exit 0
    fi
    if [ -d "$WINEPREFIX" ] && [ ! -f "$WINEPREFIX/.qv-prefix" ] && [ -n "$(ls -A "$WINEPREFIX")" ]; then
      qv_die "$WINEPREFIX exists and was not made by these tools; set QV_WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/.qv-ready" ]; then
      # A prefix left half-made by an interrupted run is rebuilt from scratch.
      rm -rf "$WINEPREFIX"
      mkdir -p "$WINEPREFIX" && touch "$WINEPREFIX/.qv-prefix" || qv_die "cannot create $WINEPREFIX"
      echo "wine-setup: creating 32-bit prefix $WINEPREFIX" >&2
      wineboot -i >/dev/null 2>&1 || qv_die "wineboot -i failed"
    fi
    qv_import_registry || qv_die "registry import failed"
    # Let the server write the registry to disk before the stamp says ready.
    wineserver -w
    echo "$QV_PREFIX_VERSION" >"$WINEPREFIX/.qv-ready"
  ) 9>"$WINEPREFIX.lock" || exit $?
}

qv_display_alive() {
  local n=${1#:}
  [ -S "/tmp/.X11-unix/X$n" ] || return 1
  [ -f "/tmp/.X$n-lock" ] || return 1
  kill -0 "$(tr -d ' ' <"/tmp/.X$n-lock")" 2>/dev/null
}

# Windows need an X display. With none given, start one Xvfb for all tests
# (once, under a lock) and leave it running for the next ones.
qv_ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  command -v Xvfb >/dev/null || qv_die "no DISPLAY and Xvfb is not installed"
  local d=${QV_XVFB_DISPLAY:-:99}
  export DISPLAY=$d
  qv_display_alive "$d" && return 0
  (
    flock -w 60 9 || qv_die "timed out waiting for the display lock"
    qv_display_alive "$d" && exit 0
    setsid Xvfb "$d" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 </dev/null &
    for _ in $(seq 1 100); do
      qv_display_alive "$d" && exit 0
      sleep 0.05
    done
    qv_die "Xvfb did not start on $d"
  ) 9>"/tmp/qv-xvfb${d#:}.lock" || exit $?
}
