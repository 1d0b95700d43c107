#!/usr/bin/env bash
# Builds the program if needed and starts it. Without a graphical session it
# runs under Xvfb (xvfb-run); as root it may configure the network.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running Zentavo under Xvfb (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x800x24" ./build/default/app/Zentavo "$@"
fi
exec ./build/default/app/Zentavo "$@"
