#!/usr/bin/env bash
# Runs the analyzer's main job on the built-in simulated machine.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "The analyzer application is not built yet: only the platform layer and the capture driver exist so far."
