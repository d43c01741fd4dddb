# shellcheck shell=bash
# Shared by the scripts in this folder: the Debian packages a command
# needs, and the quiet way long steps are run and counted.

# Installs the Debian packages named that are missing, when running as
# root; otherwise prints the commands that would, and stops. A package of
# another processor (libc6:arm64) first needs dpkg to take that
# processor's packages. As root, apt's own account of what it fetches and
# installs is shown as it works, and its whole output kept in
# build/logs/apt.log.
need_packages() {
  local missing=() architectures=() p a
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = \
      "install ok installed" ] || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  for a in $(printf '%s\n' "${missing[@]}" | sed -n 's/.*://p' | sort -u); do
    dpkg --print-foreign-architectures | grep -qx "$a" || architectures+=("$a")
  done
  if [ "$(id -u)" -ne 0 ]; then
    echo "This needs Debian packages that are not installed. As root, run:"
    for a in "${architectures[@]}"; do echo "  dpkg --add-architecture $a"; done
    echo "  apt-get update"
    echo "  apt-get install -y --no-install-recommends ${missing[*]}"
    exit 1
  fi
  local log=build/logs/apt.log
  mkdir -p build/logs
  for a in "${architectures[@]}"; do
    echo "letting dpkg install packages for $a"
    dpkg --add-architecture "$a"
  done
  echo "installing Debian packages: ${missing[*]}"
  echo "  apt-get update"
  if ! apt-get update -q >"$log" 2>&1; then
    cat "$log"
    exit 1
  fi
  # apt's summary lines as they are, and a line for every 50 packages
  # fetched or set up.
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    --no-install-recommends "${missing[@]}" 2>&1 | tee -a "$log" | awk '
      /^[0-9]+ upgraded, / { total = $3 }
      /^[0-9]+ upgraded, |^Need to get |^After this operation, / {
        print "  " $0; fflush()
      }
      /^Get:/ && ++got % 50 == 0 { print "  fetched " got " of " total; fflush() }
      /^Setting up / && ++set % 50 == 0 {
        print "  set up " set " of " total; fflush()
      }'
  if [ "${PIPESTATUS[0]}" -ne 0 ]; then
    tail -n 40 "$log"
    echo "FAILED: apt-get install (all its output is in $log)"
    exit 1
  fi
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
