# shellcheck shell=bash
# Shared by run.sh and test.sh: the Debian packages VESK needs, and the steps
# that install them and build the program. Source it; do not run it.

# Build, run and tests. One list, one place.
VESK_PACKAGES=(
    # build
    cmake ninja-build g++ pkg-config qt6-base-dev libsqlcipher-dev libsimpleini-dev libcups2-dev
    libcsv-dev
    # run: the database shell, the fonts the printed sheets ask for, Qt's own
    # Japanese texts (buttons, file dialog) and its TIFF reader for scans
    sqlcipher fonts-ipafont-mincho fonts-ipafont-gothic qt6-translations-l10n
    qt6-image-formats-plugins
    # the desktop menu entry and its icon: checking the entry and drawing the
    # icon's sizes; the tests launch the entry through GLib's launcher (gio)
    desktop-file-utils librsvg2-bin libglib2.0-bin
    # tests: reading PDFs, screenshots under a virtual display, a private CUPS scheduler
    poppler-utils xvfb xauth xdotool imagemagick cups
)

# The checkout: the folder that holds run.sh, with symbolic links resolved.
VESK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
VESK_BUILD="$VESK_ROOT/build"

vesk_say() { printf '%s\n' "$*"; }
vesk_fail() {
    printf '%s\n' "$*" >&2
    exit 1
}

# Prints the packages of VESK_PACKAGES that are not installed.
vesk_missing_packages() {
    local p status
    for p in "${VESK_PACKAGES[@]}"; do
        status="$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)"
        [ "$status" = installed ] || printf '%s\n' "$p"
    done
}

# Installs the missing packages through apt-get; through sudo when not root.
vesk_install_packages() {
    command -v dpkg-query >/dev/null || vesk_fail "dpkg-query not found: VESK is built on Debian 12."
    local missing
    mapfile -t missing < <(vesk_missing_packages)
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    local -a as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null ||
            vesk_fail "Missing Debian packages (${missing[*]}), and no sudo to install them: install them as root, then run again."
        as_root=(sudo)
    fi
    vesk_say "Installing missing Debian packages: ${missing[*]}"
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
    mapfile -t missing < <(vesk_missing_packages)
    [ "${#missing[@]}" -eq 0 ] || vesk_fail "Still not installed: ${missing[*]}"
}

# Configures build/ with Ninja, then builds the given targets (all when none).
# shellcheck disable=SC2120
vesk_build() {
    cmake -S "$VESK_ROOT" -B "$VESK_BUILD" -G Ninja
    if [ "$#" -eq 0 ]; then
        cmake --build "$VESK_BUILD"
    else
        cmake --build "$VESK_BUILD" --target "$@"
    fi
}

# The desktop menu entry and the icon.
. "$VESK_ROOT/scripts/desktop.sh"
