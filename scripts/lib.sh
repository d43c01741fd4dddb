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
    echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}"
    exit 1
  fi
  echo "installing Debian packages: ${missing[*]}"
  local log
  log=$(mktemp)
  if ! { apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
           --no-install-recommends \
           "${missing[@]}"; } >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

# Lets the package manager install packages of the processors named (as
# root; otherwise prints the commands that would, and stops).
need_architectures() {
  local missing=() a
  for a in "$@"; do
    dpkg --print-foreign-architectures | grep -qx "$a" || missing+=("$a")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "This needs packages of other processors. Run:"
    printf '  sudo dpkg --add-architecture %s\n' "${missing[@]}"
    exit 1
  fi
  for a in "${missing[@]}"; do dpkg --add-architecture "$a"; done
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
