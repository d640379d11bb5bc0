#!/usr/bin/env bash
# The menu entry and icon that run.sh installs, checked in a temporary HOME
# without building or starting the program: the entry passes
# desktop-file-validate, GLib's launcher starts exactly APPFOLDER/vesk however
# the folder is named, the icon has its sizes, a second install replaces
# everything by renames, XDG_DATA_HOME is honoured, and a failed install
# leaves what was there.
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

# Starts the entry as a desktop menu does and checks the program it ran.
# GLib refuses to load an entry whose program it cannot find, and it looks for
# the program before it turns %% back into %: a copy at the path with every %
# doubled lets it load the entry; the launch must still run the real path.
check_launch() {
    local entry="$1" appfolder="$2" what="$3"
    make_program "$appfolder"
    [[ "$appfolder" != *%* ]] || make_program "${appfolder//%/%%}"
    if ! gio launch "$entry"; then
        fail "$what: gio could not launch the entry"
        return
    fi
    local started
    started="$(timeout 60 cat -- "$VESK_TEST_PIPE")" || true
    [ "$started" = "$appfolder/vesk" ] ||
        fail "$what: the entry started [$started], not [$appfolder/vesk]"
}

check_valid() {
    local report
    if ! report="$(desktop-file-validate "$1" 2>&1)" || [ -n "$report" ]; then
        fail "$2: desktop-file-validate: $report"
    fi
}

# Pixel size WxH of a picture, and the opacity of one pixel.
size_of() { identify -format '%wx%h' "$1"; }
alpha_at() { convert "$1" -format "%[fx:p{$2,$3}.a]" info:; }

# 1. Folder names: plain, a space, and every character the Exec line must
#    quote or escape (", `, $, \, %, tab, newline) with other reserved ones.
names=(
    "plain"
    "with space"
    $'q"uote \'single\' `back` $HOME \\back\\\\slash 100% ;&#|<>*?()~ 帳票\ttab\nline'
)
for i in "${!names[@]}"; do
    appfolder="$tmp/apps/${names[$i]}"
    home="$tmp/home$i"
    mkdir -p -- "$home"
    if ! HOME="$home" vesk_install_desktop "$appfolder" >/dev/null; then
        fail "install for [${names[$i]}] failed"
        continue
    fi
    entry="$home/.local/share/applications/vesk.desktop"
    check_valid "$entry" "[${names[$i]}]"
    check_launch "$entry" "$appfolder" "[${names[$i]}]"
done

# 2. The icon the entry names, at its sizes, drawn (clear corner, solid middle).
home="$tmp/home0"
icons="$home/.local/share/icons/hicolor"
grep -qx 'Icon=vesk' "$home/.local/share/applications/vesk.desktop" ||
    fail "the entry does not name the icon vesk"
for size in 48 256; do
    png="$icons/${size}x${size}/apps/vesk.png"
    if [ ! -f "$png" ]; then
        fail "no $png"
        continue
    fi
    [ "$(size_of "$png")" = "${size}x${size}" ] || fail "$png is $(size_of "$png"), not ${size}x${size}"
    [ "$(alpha_at "$png" 0 0)" = 0 ] || fail "$png: the corner is not transparent"
    [ "$(alpha_at "$png" $((size / 2)) $((size / 2)))" = 1 ] || fail "$png: the middle is not opaque"
done
cmp -s -- "$root/data/vesk.svg" "$icons/scalable/apps/vesk.svg" || fail "the scalable icon is not data/vesk.svg"

# 3. A second install replaces every file by a rename: a hard link to an old
#    file keeps the old content, the entry starts the new folder, and no
#    temporary file is left behind.
data="$home/.local/share"
files=(applications/vesk.desktop icons/hicolor/48x48/apps/vesk.png
    icons/hicolor/256x256/apps/vesk.png icons/hicolor/scalable/apps/vesk.svg)
mkdir -p "$tmp/old" "$tmp/saved"
for i in "${!files[@]}"; do
    printf 'old %s\n' "${files[$i]}" >"$data/${files[$i]}"
    ln -- "$data/${files[$i]}" "$tmp/old/$i"
    cp -- "$data/${files[$i]}" "$tmp/saved/$i"
done
second="$tmp/apps/second folder"
HOME="$home" vesk_install_desktop "$second" >/dev/null || fail "the second install failed"
for i in "${!files[@]}"; do
    cmp -s -- "$tmp/old/$i" "$tmp/saved/$i" || fail "${files[$i]} was written over in place, not replaced"
    ! cmp -s -- "$data/${files[$i]}" "$tmp/saved/$i" || fail "${files[$i]} was not replaced"
done
[ "$(size_of "$icons/48x48/apps/vesk.png")" = 48x48 ] || fail "the replaced 48x48 icon has the wrong size"
check_valid "$data/applications/vesk.desktop" "second install"
check_launch "$data/applications/vesk.desktop" "$second" "second install"
left="$(find "$data" -name '.*')"
[ -z "$left" ] || fail "temporary files left behind: $left"

# 4. XDG_DATA_HOME: an absolute one takes the files, a relative one is ignored.
home="$tmp/home-xdg"
mkdir -p -- "$home"
HOME="$home" XDG_DATA_HOME="$tmp/xdg data" vesk_install_desktop "$tmp/apps/plain" >/dev/null ||
    fail "install with XDG_DATA_HOME failed"
if [ ! -f "$tmp/xdg data/applications/vesk.desktop" ] ||
    [ ! -f "$tmp/xdg data/icons/hicolor/256x256/apps/vesk.png" ]; then
    fail "XDG_DATA_HOME was not used"
fi
[ ! -e "$home/.local" ] || fail "files went under HOME although XDG_DATA_HOME was set"
(cd "$tmp" && HOME="$home" XDG_DATA_HOME="relative" vesk_install_desktop "$tmp/apps/plain" >/dev/null) ||
    fail "install with a relative XDG_DATA_HOME failed"
if [ ! -f "$home/.local/share/applications/vesk.desktop" ] || [ -e "$tmp/relative" ]; then
    fail "a relative XDG_DATA_HOME was not ignored"
fi

# 5. An install that cannot be done changes nothing: a folder name that is not
#    UTF-8 (an entry cannot hold it), a relative folder, no HOME at all.
entry="$home/.local/share/applications/vesk.desktop"
cp -- "$entry" "$tmp/entry-before"
for bad in "$tmp/apps/"$'\xff\xfe' "apps/relative"; do
    if HOME="$home" vesk_install_desktop "$bad" >/dev/null 2>&1; then
        fail "install for [$bad] did not fail"
    fi
done
cmp -s -- "$entry" "$tmp/entry-before" || fail "a failed install changed the entry"
if (unset HOME && vesk_install_desktop "$tmp/apps/plain" >/dev/null 2>&1); then
    fail "install without HOME or XDG_DATA_HOME did not fail"
fi

if [ "$failures" -ne 0 ]; then
    printf '%d check(s) failed\n' "$failures" >&2
    exit 1
fi
printf 'desktop entry: all checks passed\n'
