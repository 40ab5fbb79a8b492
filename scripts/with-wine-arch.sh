#!/usr/bin/env bash
# with-wine-arch.sh ARCH COMMAND...: runs COMMAND when this host's Wine runs
# Windows programs of ARCH (x86 or x64); otherwise prints why not and exits
# 77, which ctest reports as a skipped test, never as a passed one.
set -uo pipefail
arch=$1
shift
source "$(dirname "$0")/wine-env.sh"
if ! why=$(lumiset_wine_runs "$arch"); then
  echo "skipped: $arch programs cannot run here: $why"
  exit 77
fi
export LUMISET_ARCH=$arch
exec "$@"
