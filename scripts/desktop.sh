# shellcheck shell=bash
# The desktop menu entry and the icon of VESK, installed for the user who runs
# run.sh. Sourced by common.sh; needs VESK_ROOT, vesk_say, rsvg-convert and
# desktop-file-validate.

# The user's data folder: XDG_DATA_HOME when it is an absolute path (a relative
# one is ignored, as the desktop's base-directory rules say), else
# ~/.local/share. Fails when neither can be told.
vesk_data_home() {
    if [ -n "${XDG_DATA_HOME:-}" ] && [ "${XDG_DATA_HOME:0:1}" = / ]; then
        printf '%s\n' "$XDG_DATA_HOME"
    elif [ -n "${HOME:-}" ]; then
        printf '%s\n' "$HOME/.local/share"
    else
        printf '%s\n' "Neither HOME nor an absolute XDG_DATA_HOME is set: no place for the menu entry." >&2
        return 1
    fi
}

# Prints the value of an Exec key that starts the given program path, whatever
# characters the path holds. Two layers, inner first:
#  - the path is one argument between double quotes, with ", `, $ and \ each
#    preceded by a backslash, and % doubled (a single % starts a field code);
#  - the whole value is then written as a desktop-entry string: \ as \\, and
#    newline, tab and carriage return as \n, \t, \r.
# So a backslash in the path becomes four of them in the file.
vesk_desktop_exec_value() {
    local s="$1"
    s="${s//\\/\\\\}"
    s="${s//\"/\\\"}"
    s="${s//\`/\\\`}"
    s="${s//\$/\\\$}"
    s="${s//%/%%}"
    s="\"$s\""
    s="${s//\\/\\\\}"
    s="${s//$'\n'/\\n}"
    s="${s//$'\t'/\\t}"
    s="${s//$'\r'/\\r}"
    printf '%s\n' "$s"
}

# Puts SOURCE at TARGET by a copy under a temporary name in TARGET's folder and
# a rename over TARGET: a reader sees the old file or the new one, never half
# of one.
vesk_replace_file() {
    local source="$1" target="$2"
    local temp
    temp="$(dirname -- "$target")/.$(basename -- "$target").new.$$"
    mkdir -p -- "$(dirname -- "$target")" &&
        cp -f -- "$source" "$temp" &&
        mv -f -- "$temp" "$target" &&
        return 0
    rm -f -- "$temp"
    return 1
}

# Installs, for the user who runs it, the menu entry that starts
# APPFOLDER/vesk and the icon in the hicolor theme:
#   DATA/applications/vesk.desktop
#   DATA/icons/hicolor/{48x48,256x256}/apps/vesk.png, .../scalable/apps/vesk.svg
# with DATA from vesk_data_home. An existing entry and icon are replaced. The
# entry is checked with desktop-file-validate before it is put in place.
# Returns non-zero, saying why on standard error, when it could not install.
vesk_install_desktop() {
    local appfolder="$1"
    case "$appfolder" in
    /*) ;;
    *)
        printf '%s\n' "The application folder must be an absolute path: $appfolder" >&2
        return 1
        ;;
    esac
    if ! printf '%s' "$appfolder" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1; then
        printf '%s\n' "The application folder's name is not UTF-8 text, which a menu entry cannot hold: $appfolder" >&2
        return 1
    fi
    local data
    data="$(vesk_data_home)" || return 1

    local work
    work="$(mktemp -d)" || return 1
    # Everything is made in a private folder first, and nothing is installed
    # unless all of it was made and the entry passed the check.
    if ! vesk_make_desktop_files "$appfolder" "$work"; then
        rm -rf -- "$work"
        return 1
    fi

    local icons="$data/icons/hicolor"
    local ok=0
    vesk_replace_file "$work/vesk.svg" "$icons/scalable/apps/vesk.svg" &&
        vesk_replace_file "$work/vesk-48.png" "$icons/48x48/apps/vesk.png" &&
        vesk_replace_file "$work/vesk-256.png" "$icons/256x256/apps/vesk.png" &&
        vesk_replace_file "$work/vesk.desktop" "$data/applications/vesk.desktop" || ok=1
    rm -rf -- "$work"
    [ "$ok" -eq 0 ] || return 1
    # A changed theme folder tells the desktop to look at its icons again.
    touch -c -- "$icons" 2>/dev/null || true
    vesk_say "Installed the menu entry $data/applications/vesk.desktop and its icon in $icons"
}

# Writes vesk.desktop, vesk.svg, vesk-48.png and vesk-256.png into WORK.
vesk_make_desktop_files() {
    local appfolder="$1" work="$2"
    local exec
    exec="$(vesk_desktop_exec_value "$appfolder/vesk")" || return 1
    printf '%s\n' \
        '[Desktop Entry]' \
        'Type=Application' \
        'Name=VESK' \
        'Comment=帳票印刷' \
        'Comment[ja]=帳票印刷' \
        "Exec=$exec" \
        'Icon=vesk' \
        'Terminal=false' \
        'Categories=Office;' >"$work/vesk.desktop" || return 1
    local report
    if ! report="$(desktop-file-validate "$work/vesk.desktop" 2>&1)" || [ -n "$report" ]; then
        printf '%s\n%s\n' "The menu entry did not pass desktop-file-validate:" "$report" >&2
        return 1
    fi
    cp -- "$VESK_ROOT/data/vesk.svg" "$work/vesk.svg" &&
        rsvg-convert -w 48 -h 48 -o "$work/vesk-48.png" "$work/vesk.svg" &&
        rsvg-convert -w 256 -h 256 -o "$work/vesk-256.png" "$work/vesk.svg"
}
