#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vessik on the simulated
# controller: the window where a display is available, the console trace
# where none is. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
b=${VESSIK_BUILD_DIR:-build}
sim="$PWD/$b/sim/libvessik-sim.so"
if [[ ! -f "$sim" ]]; then
  echo "run: the simulated controller is not built yet; running the tests instead" >&2
  exec ctest --test-dir "$b" --output-on-failure
fi
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && -x "$b/app/vessik" ]]; then
  exec "$b/app/vessik" --driver "$sim" "$@"
fi
exec "$b/cli/vessik-cli" trace --driver "$sim" "$@"
