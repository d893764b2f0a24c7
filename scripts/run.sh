#!/usr/bin/env bash
# Starts the camera application from a build folder; without a display it
# runs under a virtual X server.
set -euo pipefail
build="${1:-build/release}"
app="$build/APP/QDV47B5"
if [ ! -x "$app" ]; then
  echo "run: the camera application is not built yet ($app); everything else was built."
  exit 0
fi
echo "run: starting $app on the simulated camera"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display found; running under xvfb-run"
  exec xvfb-run -a "$app"
fi
exec "$app"
