#!/usr/bin/env bash
# Sets everything up, builds the demo and its data, and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cd build/data
exec ../vorn
