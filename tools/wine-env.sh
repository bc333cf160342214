# Shared by wine-setup, wine-run and wine-screenshot (sourced, not run).
# One dedicated prefix (32-bit; 64-bit where no 32-bit code runs) for every
# Windows test binary, created once under a lock, with the dialog fonts
# mapped to the IPA Gothic fonts, and one Xvfb display shared by every test
# when no display is given.

QV_TOOLS_DIR=${QV_TOOLS_DIR:-$(cd "$(dirname "$0")" && pwd)}

# CI may run with HOME unset or "/": fall back to the account's home, and
# never build a path with a doubled slash.
qv_home=${HOME:-}
[ -n "$qv_home" ] || qv_home=$(getent passwd "$(id -u)" | cut -d: -f6)
[ -n "$qv_home" ] || qv_home=/tmp
export HOME=${HOME:-$qv_home}
qv_home=${qv_home%/}

# Wine names Unix files in the charset of the Unix locale: without a UTF-8
# one (CI often sets no locale at all) no Japanese file name can be made.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *.UTF-8 | *.utf8 | *.UTF8 | *.utf-8) ;;
  *) if [ -n "${LC_ALL:-}" ]; then export LC_ALL=C.UTF-8; else export LC_CTYPE=C.UTF-8; fi ;;
esac

# The product is a 32-bit Windows program and its tests run in a 32-bit
# prefix. Some machines run no 32-bit code at all (the kernel refuses i386
# executables, and 32-bit Wine with them): there the tests run the 64-bit
# build of the same sources in a 64-bit prefix, through Wine's 64-bit loader
# (a folder of shims puts it first on PATH, for the helpers too).
# QV_WINE_ARCH=win32|win64 forces the choice.
qv_machine_runs_i386() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}
if [ -z "${QV_WINE_ARCH:-}" ]; then
  if qv_machine_runs_i386; then QV_WINE_ARCH=win32; else QV_WINE_ARCH=win64; fi
fi
export QV_WINE_ARCH
export WINEARCH=$QV_WINE_ARCH
if [ "$QV_WINE_ARCH" = win64 ]; then
  case ":$PATH:" in *":$QV_TOOLS_DIR/wine64-shim:"*) ;; *) export PATH="$QV_TOOLS_DIR/wine64-shim:$PATH" ;; esac
  export WINELOADER=/usr/lib/wine/wine64
fi
export WINEPREFIX="${QV_WINEPREFIX:-$qv_home/.qv-wine${QV_WINE_ARCH#win32}}"
export WINEDEBUG="${QV_WINEDEBUG:--all}"
# No Mono or Gecko installer prompts, ever: nothing here needs them. No
# menu builder either: Wine would mirror each shortcut a test saves on the
# desktop as a Linux desktop entry in the user's home, left behind when the
# test removes the shortcut.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"

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
  wine regedit /S "$(winepath -w "$reg.u16")" </dev/null >/dev/null || { rm -f "$reg" "$reg.u16"; return 1; }
  rm -f "$reg" "$reg.u16"
}

# Creates the prefix on first use; later calls only check the stamp (fast).
# Wine's server and system processes started here inherit neither the lock
# (fd 9) nor the caller's output, and have ended when this returns.
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
      echo "wine-setup: creating $WINEARCH prefix $WINEPREFIX" >&2
      wineboot -i </dev/null >/dev/null 2>&1 9>&- || qv_die "wineboot -i failed"
    fi
    qv_import_registry 9>&- || qv_die "registry import failed"
    # Let the server write the registry to disk before the stamp says ready.
    wineserver -w 9>&-
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
    setsid Xvfb "$d" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 </dev/null 9>&- &
    for _ in $(seq 1 100); do
      qv_display_alive "$d" && exit 0
      sleep 0.05
    done
    qv_die "Xvfb did not start on $d"
  ) 9>"/tmp/qv-xvfb${d#:}.lock" || exit $?
}

# Starts an Xvfb of our own on the first free display from :90 and exports
# DISPLAY; QV_OWN_XVFB_PID is its pid, for qv_stop_own_display. Its output
# goes nowhere, so it never holds a caller's pipe. The stop functions never
# fail: they run from EXIT traps of scripts under set -e.
qv_start_own_display() {
  local geometry=${1:-1280x1024x24} n pid
  command -v Xvfb >/dev/null || qv_die "Xvfb is not installed"
  for n in $(seq 90 119); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "$geometry" -nolisten tcp -noreset </dev/null >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
      qv_display_alive ":$n" && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    if qv_display_alive ":$n" && [ "$(tr -d ' ' <"/tmp/.X$n-lock")" = "$pid" ]; then
      export DISPLAY=:$n QV_OWN_XVFB_PID=$pid
      return 0
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  qv_die "no free display for Xvfb in :90-:119"
}

qv_stop_own_display() {
  [ -n "${QV_OWN_XVFB_PID:-}" ] || return 0
  kill "$QV_OWN_XVFB_PID" 2>/dev/null || true
  wait "$QV_OWN_XVFB_PID" 2>/dev/null || true
  QV_OWN_XVFB_PID=
  return 0
}

# A window manager has announced itself on $DISPLAY: the root window names
# a check window that names itself.
qv_wm_announced() {
  local named self
  named=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # \(0x[0-9a-f]*\).*/\1/p')
  [ -n "$named" ] || return 1
  self=$(xprop -id "$named" _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # \(0x[0-9a-f]*\).*/\1/p')
  [ "$self" = "$named" ]
}

# Starts the window manager $1 (openbox, icewm, fluxbox) on $DISPLAY and
# waits until it has announced itself; QV_WM_PID is its pid, for
# qv_stop_wm. Its settings come from the system's defaults only.
qv_start_wm() {
  local wm=$1 i
  command -v "$wm" >/dev/null || qv_die "the window manager $wm is not installed"
  local home
  home=$(mktemp -d)
  HOME=$home "$wm" </dev/null >/dev/null 2>&1 &
  QV_WM_PID=$! QV_WM_HOME=$home
  for ((i = 0; i < 200; i++)); do
    qv_wm_announced && return 0
    kill -0 "$QV_WM_PID" 2>/dev/null || break
    sleep 0.05
  done
  qv_die "$wm did not announce itself on $DISPLAY"
}

# A window manager may hang in its own signal handler (fluxbox, stopped
# while its start-up helpers end): after a few seconds it is killed outright.
qv_stop_wm() {
  [ -n "${QV_WM_PID:-}" ] || return 0
  local i
  pkill -TERM -P "$QV_WM_PID" 2>/dev/null || true
  kill "$QV_WM_PID" 2>/dev/null || true
  for ((i = 0; i < 60; i++)); do
    case $(ps -o stat= -p "$QV_WM_PID" 2>/dev/null) in "" | Z*) break ;; esac  # ended (a zombie until waited for)
    sleep 0.05
  done
  kill -KILL "$QV_WM_PID" 2>/dev/null || true
  wait "$QV_WM_PID" 2>/dev/null || true
  rm -rf "${QV_WM_HOME:-}"
  QV_WM_PID= QV_WM_HOME=
  return 0
}

# Ends the Wine server of our prefix and every Wine process in it (a test
# killed on timeout may leave its program behind).
qv_stop_wineserver() {
  command -v wineserver >/dev/null || return 0
  [ -d "$WINEPREFIX" ] || return 0
  wineserver -k </dev/null >/dev/null 2>&1 || true
}
