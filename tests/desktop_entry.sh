#!/usr/bin/env bash
# The menu entry and icon that run.sh installs, checked in a temporary HOME
# without building or starting the program.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
. "$root/scripts/common.sh"

tmp="$(mktemp -d)"
trap 'rm -rf -- "$tmp"' EXIT
unset XDG_DATA_HOME
failures=0
fail() {
    printf 'FAIL: %s\n' "$*" >&2
    failures=$((failures + 1))
}

# The stand-in program writes the path it was started as into a pipe that the
# test reads, so a launch is seen without waiting for a time.
export VESK_TEST_PIPE="$tmp/pipe"
mkfifo "$VESK_TEST_PIPE"
make_program() {
    mkdir -p -- "$1"
    # shellcheck disable=SC2016 # the stand-in expands $0 itself
    printf '#!/bin/sh\nprintf %%s "$0" > "$VESK_TEST_PIPE"\n' >"$1/vesk"
    chmod +x -- "$1/vesk"
}

# Validates the entry and starts it as a desktop menu does: it must run
# exactly APPFOLDER/vesk. GLib refuses to load an entry whose program it
# cannot find, and it looks for the program before it turns %% back into %: a
# copy at the path with every % doubled lets it load the entry.
check_entry() {
    local entry="$1" appfolder="$2" what="$3" report started
    if ! report="$(desktop-file-validate "$entry" 2>&1)" || [ -n "$report" ]; then
        fail "$what: desktop-file-validate: $report"
    fi
    make_program "$appfolder"
    [[ "$appfolder" != *%* ]] || make_program "${appfolder//%/%%}"
    if ! gio launch "$entry"; then
        fail "$what: gio could not launch the entry"
        return
    fi
    started="$(timeout 60 cat -- "$VESK_TEST_PIPE")" || true
    [ "$started" = "$appfolder/vesk" ] || fail "$what: the entry started [$started], not [$appfolder/vesk]"
}

size_of() { identify -format '%wx%h' "$1"; }

# 1. Folder names: plain, a space, and every character the Exec line must
#    quote or escape (", `, $, \, %, tab, newline) with other reserved ones.
names=(
    "plain"
    "with space"
    $'q"uote \'single\' `back` $HOME \\back\\\\slash 100% ;&#|<>*?()~ 帳票\ttab\nline'
)
for i in "${!names[@]}"; do
    home="$tmp/home$i"
    mkdir -p -- "$home"
    if HOME="$home" vesk_install_desktop "$tmp/apps/${names[$i]}" >/dev/null; then
        check_entry "$home/.local/share/applications/vesk.desktop" "$tmp/apps/${names[$i]}" "[${names[$i]}]"
    else
        fail "install for [${names[$i]}] failed"
    fi
done

# 2. The icon the entry names, at its sizes, drawn (clear corner, solid middle).
data="$tmp/home0/.local/share"
icons="$data/icons/hicolor"
grep -qx 'Icon=vesk' "$data/applications/vesk.desktop" || fail "the entry does not name the icon vesk"
for size in 48 256; do
    png="$icons/${size}x${size}/apps/vesk.png"
    [ "$(size_of "$png")" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
    [ "$(convert "$png" -format "%[fx:p{0,0}.a] %[fx:p{$((size / 2)),$((size / 2))}.a]" info:)" = "0 1" ] ||
        fail "$png: the corner is not transparent or the middle not opaque"
done
cmp -s -- "$root/data/vesk.svg" "$icons/scalable/apps/vesk.svg" || fail "the scalable icon is not data/vesk.svg"

# 3. A second install replaces every file by a rename: a hard link to an old
#    file keeps the old content, the entry starts the new folder, and no
#    temporary file is left behind.
files=(applications/vesk.desktop icons/hicolor/48x48/apps/vesk.png
    icons/hicolor/256x256/apps/vesk.png icons/hicolor/scalable/apps/vesk.svg)
mkdir -p "$tmp/old"
for i in "${!files[@]}"; do
    printf 'old %s\n' "${files[$i]}" >"$data/${files[$i]}"
    ln -- "$data/${files[$i]}" "$tmp/old/$i"
done
HOME="$tmp/home0" vesk_install_desktop "$tmp/apps/second folder" >/dev/null || fail "the second install failed"
for i in "${!files[@]}"; do
    [ "$(cat -- "$tmp/old/$i")" = "old ${files[$i]}" ] || fail "${files[$i]} was written over in place"
    ! cmp -s -- "$data/${files[$i]}" "$tmp/old/$i" || fail "${files[$i]} was not replaced"
done
[ "$(size_of "$icons/48x48/apps/vesk.png")" = 48x48 ] || fail "the replaced 48x48 icon has the wrong size"
check_entry "$data/applications/vesk.desktop" "$tmp/apps/second folder" "second install"
left="$(find "$data" -name '.*')"
[ -z "$left" ] || fail "temporary files left behind: $left"

# 4. XDG_DATA_HOME: an absolute one takes the files, a relative one is ignored.
home="$tmp/home-xdg"
mkdir -p -- "$home"
HOME="$home" XDG_DATA_HOME="$tmp/xdg data" vesk_install_desktop "$tmp/apps/plain" >/dev/null || true
[ -f "$tmp/xdg data/applications/vesk.desktop" ] && [ -f "$tmp/xdg data/icons/hicolor/256x256/apps/vesk.png" ] &&
    [ ! -e "$home/.local" ] || fail "XDG_DATA_HOME was not used"
(cd "$tmp" && HOME="$home" XDG_DATA_HOME="relative" vesk_install_desktop "$tmp/apps/plain" >/dev/null) || true
[ -f "$home/.local/share/applications/vesk.desktop" ] && [ ! -e "$tmp/relative" ] ||
    fail "a relative XDG_DATA_HOME was not ignored"

# 5. An install that cannot be done changes nothing: a folder name that is not
#    UTF-8 (an entry cannot hold it), a relative folder, no HOME at all.
entry="$home/.local/share/applications/vesk.desktop"
cp -- "$entry" "$tmp/entry-before"
for bad in "$tmp/apps/"$'\xff\xfe' "apps/relative"; do
    ! HOME="$home" vesk_install_desktop "$bad" >/dev/null 2>&1 || fail "install for [$bad] did not fail"
done
cmp -s -- "$entry" "$tmp/entry-before" || fail "a failed install changed the entry"
! (unset HOME && vesk_install_desktop "$tmp/apps/plain" >/dev/null 2>&1) || fail "install without HOME did not fail"

[ "$failures" -eq 0 ] || { printf '%d check(s) failed\n' "$failures" >&2; exit 1; }
printf 'desktop entry: all checks passed\n'
