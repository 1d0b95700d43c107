#!/usr/bin/env bash
# Builds the program if needed and starts it. Needs a graphical session (or
# Xvfb); runs as root so it may configure the network.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
exec ./build/default/app/Zentavo "$@"
