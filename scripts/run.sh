#!/usr/bin/env bash
# Runs the analyzer's main job on the built-in simulated machine.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "The capture session cannot be run from here yet: the program starts on the simulated machine, but the"
echo "harness that drives a capture and writes the capture file, the decoded records and the device report is"
echo "not built. See README.md, 'What it does not do yet'."
