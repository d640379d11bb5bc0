#!/usr/bin/env bash
# Installs what VESK needs, builds it, installs it into its application folder,
# puts it in the user's desktop menu and starts it.
#
#   ./run.sh [APPFOLDER]      APPFOLDER defaults to ~/VESK
#
# The application folder holds the executable and the user's files (data.vsk,
# databak.vsk, vesk.ini). The executable is replaced on every run; data.vsk and
# vesk.ini are placed there only when absent, never overwritten.
set -euo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/scripts/common.sh"

if [ "$#" -gt 1 ]; then
    vesk_fail "usage: ./run.sh [APPFOLDER]   (default: ~/VESK)"
fi
if [ "$#" -eq 1 ]; then
    [ -n "$1" ] || vesk_fail "The application folder must not be an empty name."
    appfolder="$1"
else
    [ -n "${HOME:-}" ] || vesk_fail "HOME is not set: name the application folder: ./run.sh APPFOLDER"
    appfolder="$HOME/VESK"
fi
# Absolute, with symbolic links resolved, whether or not it exists yet.
appfolder="$(realpath -m -- "$appfolder")"

# A rebuild or a clean must never touch the user's data: refuse a folder
# inside the checkout (the build tree build/ lies inside it too).
case "$appfolder/" in
"$VESK_ROOT"/*)
    vesk_fail "Refused: the application folder $appfolder lies inside the checkout $VESK_ROOT (source and build trees); choose a folder outside it, e.g. ./run.sh ~/VESK"
    ;;
esac
if [ -e "$appfolder" ] && [ ! -d "$appfolder" ]; then
    vesk_fail "Refused: $appfolder exists and is not a folder."
fi

vesk_install_packages
vesk_build vesk delivered_db delivered_ini

mkdir -p -- "$appfolder"

# Replace the executable by a rename, so that a copy still running keeps its own.
cp -f -- "$VESK_BUILD/vesk" "$appfolder/.vesk.new.$$"
mv -f -- "$appfolder/.vesk.new.$$" "$appfolder/vesk"

# The delivered files only where the user has none: copied under a temporary
# name and moved in without overwriting, so no half-copied file is ever left
# under the real name.
for name in data.vsk vesk.ini; do
    if [ -e "$appfolder/$name" ] || [ -L "$appfolder/$name" ]; then
        vesk_say "Kept the existing $appfolder/$name"
        continue
    fi
    cp -- "$VESK_BUILD/delivered/$name" "$appfolder/.$name.new.$$"
    mv -n -- "$appfolder/.$name.new.$$" "$appfolder/$name"
    rm -f -- "$appfolder/.$name.new.$$"
    vesk_say "Placed the delivered $name in $appfolder"
done

vesk_say "VESK is installed in $appfolder"

# The desktop menu entry and the icon, for the user who runs this. VESK itself
# is installed and runs without them, so a failure here is only reported.
if ! vesk_install_desktop "$appfolder"; then
    vesk_say "The menu entry was not installed; start VESK as $appfolder/vesk"
elif [[ "$appfolder" == *%* ]]; then
    vesk_say "Note: desktops built on GLib (GNOME and others) do not show a menu entry whose program's path holds %, as $appfolder does."
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    vesk_fail "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): VESK was built and installed in $appfolder but not started."
fi
exec "$appfolder/vesk"
