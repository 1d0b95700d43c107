#!/usr/bin/env bash
# Writes screenshots of the main window (stopped, running with three clients
# one of which is black-listed, the black list, a failed start) and of its
# dialogs (options, close prompt, power-off, driver, authorisation) under Xvfb
# into the folder given (default: build/screenshots), in Chinese, and in
# English into its "en" subfolder; then prints the client-list benchmark's
# figures.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
cmake --build --preset default --target app_screenshots app_bench
xvfb-run -a -s "-screen 0 1280x800x24" ./build/default/tests/app_screenshots "$out"
xvfb-run -a -s "-screen 0 1280x800x24" ./build/default/tests/app_bench
