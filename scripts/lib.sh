# shellcheck shell=bash
# Shared by the scripts in this folder: the Debian packages a command
# needs, and the quiet way long steps are run and counted.

# Installs the Debian packages named that are missing, when running as
# root; otherwise prints the one command that would, and stops.
need_packages() {
  local missing=() p
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = \
      "install ok installed" ] || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "This needs Debian packages that are not installed. Run:"
    echo "  sudo apt-get install -y ${missing[*]}"
    exit 1
  fi
  echo "installing Debian packages: ${missing[*]}"
  local log
  log=$(mktemp)
  if ! { apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
           "${missing[@]}"; } >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

# A Wine prefix of its own, made without asking anything or printing
# diagnostics, without the optional components (.NET, the HTML engine),
# and with Wine's own libraries linked rather than copied (20 MB, not
# 700 MB). Wine keeps its server's socket in a folder it leaves in the
# temporary folder: that folder is PREFIX.tmp instead, beside the prefix,
# where the Windows suite puts it too.
make_wine_prefix() {
  local prefix=$1 wine=$2 libs=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
  [ -f "$prefix/system.reg" ] && return 0
  mkdir -p "$prefix.tmp"
  TMPDIR="$prefix.tmp" WINEPREFIX="$prefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" \
    "$wine" wineboot -i </dev/null >/dev/null 2>&1 || return 1
  local f
  while IFS= read -r f; do
    if [ -f "$libs/${f##*/}" ] && cmp -s "$f" "$libs/${f##*/}"; then
      ln -sf "$libs/${f##*/}" "$f"
    fi
  done < <(find "$prefix/drive_c/windows" -type f)
}

# Runs a command with its output in a log; prints the log only if it
# fails. Returns the command's status.
quietly() {
  local log=$1 status=0
  shift
  mkdir -p "$(dirname "$log")"
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "---- output of: $* (from $log)"
    tail -n 200 "$log"
    echo "----"
  fi
  return "$status"
}

# A checkout that was moved or copied keeps build folders whose caches name
# the old place, and CMake refuses them; those folders are started afresh.
forget_moved_builds() {
  local root=$1 cache home
  while IFS= read -r cache; do
    home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
    if [ -n "$home" ] && [ "$home" != "$root" ]; then
      echo "build folder ${cache%/CMakeCache.txt} was made for $home: starting it afresh"
      rm -rf "${cache%/CMakeCache.txt}"
    fi
  done < <(find "$root/build" -maxdepth 3 -name CMakeCache.txt 2>/dev/null)
}
