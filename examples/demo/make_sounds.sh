#!/usr/bin/env bash
# Regenerates the demo's sounds with our own generator. The results are committed.
set -euo pipefail
cd "$(dirname "$0")"
python3 ../../tools/soundgen/soundgen.py demo sounds
