# Shared by the README's commands: prerequisites, build, Wine prefixes, X.
# Sourced, not run. Every failure says what is missing and stops.

KV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
KV_BUILD=${KV_BUILD:-$KV_ROOT/build}
KV_PACKAGES="g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 xvfb xauth x11-utils
             googletest imagemagick fonts-dejavu-core cmake ninja-build iproute2 util-linux xdotool
             dnsmasq-base samba"

kv_die() { echo "error: $*" >&2; exit 1; }
kv_say() { echo "== $*"; }

# Installs what is missing from Debian's packages (apt-get update once).
kv_require_packages() {
  local missing=() pkg
  for pkg in $KV_PACKAGES; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || kv_die "missing packages (${missing[*]}) and not root: install them or run as root"
    sudo="sudo"
  fi
  command -v apt-get >/dev/null || kv_die "missing packages (${missing[*]}) and no apt-get: this needs Debian 12"
  kv_say "installing ${missing[*]}"
  $sudo apt-get update -qq >"$KV_ROOT/.apt.log" 2>&1 || { cat "$KV_ROOT/.apt.log" >&2; kv_die "apt-get update failed"; }
  # Samba and dnsmasq are wanted as programs the tests start in their own
  # namespace, never as this machine's services: nothing starts on install.
  local policy=/usr/sbin/policy-rc.d own_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null && $sudo chmod 755 "$policy" && own_policy=1
  fi
  local status=0
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >>"$KV_ROOT/.apt.log" 2>&1 || status=$?
  [ $own_policy -eq 0 ] || $sudo rm -f "$policy"
  [ $status -eq 0 ] || { tail -20 "$KV_ROOT/.apt.log" >&2; kv_die "apt-get install failed (see .apt.log)"; }
  rm -f "$KV_ROOT/.apt.log"
}

kv_build() {
  if [ ! -f "$KV_BUILD/build.ninja" ]; then
    kv_say "configuring $KV_BUILD"
    cmake -S "$KV_ROOT" -B "$KV_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$KV_ROOT/cmake/mingw-w64.cmake" >"$KV_BUILD.configure.log" 2>&1 \
      || { cat "$KV_BUILD.configure.log" >&2; kv_die "cmake configure failed"; }
  fi
  # KV_BUILD_TARGET=korvelin_tests builds the tests alone (quick loops).
  kv_say "building${KV_BUILD_TARGET:+ $KV_BUILD_TARGET}"
  cmake --build "$KV_BUILD" ${KV_BUILD_TARGET:+--target "$KV_BUILD_TARGET"} || kv_die "build failed"
}

# Runs wine quietly: its output goes to a file, never a pipe (a service it
# starts would keep the pipe open).
kv_wine() { WINEDEBUG=-all wine "$@" >>"$WINEPREFIX.wine.log" 2>&1; }

# A prefix made once per build tree; later ones are copies of it.
kv_template_prefix() {
  local template="$KV_BUILD/wineprefix-template"
  if [ ! -f "$template/.korvelin-ready" ]; then
    kv_say "creating Wine prefix template (once per build tree)" >&2
    rm -rf "$template"
    (
      export WINEPREFIX="$template" WINEDLLOVERRIDES="mscoree=;mshtml="
      WINEDEBUG=-all wineboot -i >"$template.wine.log" 2>&1 || kv_die "wineboot failed (see $template.wine.log)"
      # Captions drawn by Wine without a window manager and no 2 s stall per
      # closed window; a crash fails fast instead of opening a dialog.
      kv_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
      kv_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
      WINEDEBUG=-all wineserver -w >/dev/null 2>&1
    ) || exit 1
    touch "$template/.korvelin-ready"
  fi
  echo "$template"
}

# kv_fresh_prefix DIR: DIR becomes a fresh copy of the template.
kv_fresh_prefix() {
  local template
  template=$(kv_template_prefix) || exit 1
  rm -rf "$1"
  cp -a "$template" "$1"
}

# Starts Xvfb on a free display and exports DISPLAY; KV_XVFB_PID to stop it.
kv_start_xvfb() {
  local n=${1:-91}
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$KV_BUILD/xvfb.log" 2>&1 &
  KV_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    kill -0 "$KV_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  cat "$KV_BUILD/xvfb.log" >&2
  kv_die "Xvfb did not start on :$n"
}

kv_stop_xvfb() {
  [ -n "${KV_XVFB_PID:-}" ] && kill "$KV_XVFB_PID" 2>/dev/null && wait "$KV_XVFB_PID" 2>/dev/null
  KV_XVFB_PID=""
}

# A persistent server: each wine process then starts in ~0.1 s.
kv_start_wineserver() { (WINEDEBUG=-all wineserver -p </dev/null >/dev/null 2>&1 &); }
kv_stop_wineserver() { WINEDEBUG=-all wineserver -k >/dev/null 2>&1 || true; }
