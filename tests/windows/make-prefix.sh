#!/usr/bin/env bash
# Makes the Windows suite's Wine prefix once: without asking anything or
# printing diagnostics, without the optional components (.NET, the HTML
# engine), and with Wine's own libraries linked rather than copied (20 MB,
# not 700 MB). Wine keeps its server's socket in a folder it leaves in the
# temporary folder: that folder is PREFIX.tmp instead, beside the prefix,
# where the suite puts it too; and a new prefix writes menus and file
# types into the home folder: that is PREFIX.home, the suite's too.
#
#   make-prefix.sh PREFIX WINE
set -euo pipefail
prefix=$1 wine=$2
libs=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[ -f "$prefix/system.reg" ] && exit 0
mkdir -p "$prefix.tmp" "$prefix.home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
HOME="$prefix.home" TMPDIR="$prefix.tmp" WINEPREFIX="$prefix" WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=" \
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
while IFS= read -r f; do
  if [ -f "$libs/${f##*/}" ] && cmp -s "$f" "$libs/${f##*/}"; then
    ln -sf "$libs/${f##*/}" "$f"
  fi
done < <(find "$prefix/drive_c/windows" -type f)
