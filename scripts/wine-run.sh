#!/usr/bin/env bash
# Runs one Windows program under Wine in a fresh copy of the template prefix
# and a private Xvfb, then ends that prefix's wineserver, the Xvfb, and
# removes the prefix. The program's exit code is this script's. Used by
# ctest as the cross-compiling emulator.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
prefix=$(lumiset_wine_fresh_prefix) || exit 1
export WINEPREFIX="$prefix"
lumiset_start_xvfb || exit 1
wine "$@"
rc=$?
lumiset_wine_remove_prefix "$prefix"
lumiset_stop_xvfb
exit $rc
