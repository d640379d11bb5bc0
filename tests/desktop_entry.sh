#!/usr/bin/env bash
# The menu entry and icon that run.sh installs, checked in a temporary HOME without the program.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
. "$root/scripts/common.sh"
tmp="$(mktemp -d)"
trap 'rm -rf -- "$tmp"' EXIT
unset XDG_DATA_HOME
failures=0
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
# The stand-in program writes the path it was started as into a pipe the test reads.
export VESK_TEST_PIPE="$tmp/pipe"
mkfifo "$VESK_TEST_PIPE"
# Validates the entry and starts it as a menu does: it must run exactly APPFOLDER/vesk (GLib
# looks for the program before it turns %% into %: a copy at the %%-path lets it load).
check_entry() {
    local entry="$1" appfolder="$2" report started folder
    report="$(desktop-file-validate "$entry" 2>&1)" && [ -z "$report" ] || fail "[$appfolder]: $report"
    for folder in "$appfolder" "${appfolder//%/%%}"; do
        # shellcheck disable=SC2016 # the stand-in expands $0 itself
        mkdir -p -- "$folder" && printf '#!/bin/sh\nprintf %%s "$0" > "$VESK_TEST_PIPE"\n' >"$folder/vesk"
        chmod +x -- "$folder/vesk"
    done
    gio launch "$entry" || { fail "[$appfolder]: gio could not launch the entry" && return; }
    started="$(timeout 60 cat -- "$VESK_TEST_PIPE")" || true
    [ "$started" = "$appfolder/vesk" ] || fail "the entry started [$started], not [$appfolder/vesk]"
}

# 1. Folder names: plain, and one with every character the Exec line must quote or escape.
names=("plain" $'q"uote \'single\' `back` $HOME \\back\\\\slash 100% ;&#|<>*?()~ 帳票\ttab\nline')
for i in "${!names[@]}"; do
    HOME="$tmp/home$i" vesk_install_desktop "$tmp/apps/${names[$i]}" >/dev/null || fail "install [${names[$i]}] failed"
    check_entry "$tmp/home$i/.local/share/applications/vesk.desktop" "$tmp/apps/${names[$i]}"
done
# 2. The icon the entry names, at its sizes, drawn (clear corner, solid middle).
data="$tmp/home0/.local/share"
icons="$data/icons/hicolor"
grep -qx 'Icon=vesk' "$data/applications/vesk.desktop" || fail "the entry does not name the icon vesk"
for size in 48 256; do
    [ "$(convert "$icons/${size}x${size}/apps/vesk.png" -format "%wx%h %[fx:p{0,0}.a] %[fx:p{$((size / 2)),$((size / 2))}.a]" info:)" = "${size}x${size} 0 1" ] ||
        fail "the ${size}x${size} icon has the wrong size, a corner not clear or a middle not solid"
done
cmp -s -- "$root/data/vesk.svg" "$icons/scalable/apps/vesk.svg" || fail "the scalable icon is not data/vesk.svg"
# 3. A second install renames every file into place (a hard link keeps the old), leaves no temporary.
files=(applications/vesk.desktop icons/hicolor/48x48/apps/vesk.png icons/hicolor/256x256/apps/vesk.png icons/hicolor/scalable/apps/vesk.svg)
for i in "${!files[@]}"; do
    printf 'old\n' >"$data/${files[$i]}" && ln -- "$data/${files[$i]}" "$tmp/old$i"
done
HOME="$tmp/home0" vesk_install_desktop "$tmp/apps/second folder" >/dev/null || fail "the second install failed"
for i in "${!files[@]}"; do
    [ "$(cat -- "$tmp/old$i")" = old ] && ! cmp -s -- "$data/${files[$i]}" "$tmp/old$i" || fail "${files[$i]} not renamed"
done
[ -z "$(find "$data" -name '.*')" ] || fail "temporary files left behind: $(find "$data" -name '.*')"
check_entry "$data/applications/vesk.desktop" "$tmp/apps/second folder"
# 4. XDG_DATA_HOME: an absolute one takes the files, a relative one is ignored.
home="$tmp/home-xdg"
HOME="$home" XDG_DATA_HOME="$tmp/xdg data" vesk_install_desktop "$tmp/apps/plain" >/dev/null || true
[ -f "$tmp/xdg data/applications/vesk.desktop" ] && [ ! -e "$home/.local" ] || fail "XDG_DATA_HOME was not used"
(cd "$tmp" && HOME="$home" XDG_DATA_HOME="relative" vesk_install_desktop "$tmp/apps/plain" >/dev/null) || true
[ -f "$home/.local/share/applications/vesk.desktop" ] && [ ! -e "$tmp/relative" ] || fail "relative XDG_DATA_HOME used"

# 5. An install that cannot be done changes nothing: a name not UTF-8, a relative folder, no HOME.
entry="$home/.local/share/applications/vesk.desktop"
cp -- "$entry" "$tmp/entry-before"
for bad in "$tmp/apps/"$'\xff\xfe' "apps/relative"; do
    ! HOME="$home" vesk_install_desktop "$bad" >/dev/null 2>&1 || fail "install for [$bad] did not fail"
done
cmp -s -- "$entry" "$tmp/entry-before" || fail "a failed install changed the entry"
! (unset HOME && vesk_install_desktop "$tmp/apps/plain" >/dev/null 2>&1) || fail "install without HOME did not fail"

[ "$failures" -eq 0 ] || { printf '%d check(s) failed\n' "$failures" >&2; exit 1; }
printf 'desktop entry: all checks passed\n'
