#!/usr/bin/env bash
# Makes the two release packages of Vistrel and says where they are:
#   build/win/packages/Vistrel-<version>-win64-portable.zip  (unpack and run)
#   build/win/packages/Vistrel-<version>-win64-setup.exe     (per-user installer)
# The normal build (scripts/build.sh) makes them too; this builds only the
# Windows program and the packages.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
VISTREL_SKIP_NATIVE=1 VISTREL_WIN_TARGET=vistrel_packages "$root/scripts/build.sh"
ls -l "$root/build/win${VISTREL_BUILD_SUFFIX:-}"/packages/Vistrel-*-win64-{portable.zip,setup.exe}
