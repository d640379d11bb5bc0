#!/usr/bin/env bash
# Installs what VESK needs, builds everything (program, tests, benchmarks) in
# build/ and runs every test headless. Exits non-zero on any failure.
set -euo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/scripts/common.sh"

vesk_install_packages
vesk_build # every target

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$VESK_BUILD" --output-on-failure --no-tests=error
