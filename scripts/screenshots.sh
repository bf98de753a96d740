#!/usr/bin/env bash
# Pictures of the three views for docs/, taken under a virtual X server while the panel
# talks to the simulator: scripts/screenshots.sh [BUILD] [FOLDER]
set -euo pipefail
build=${1:-build}
folder=${2:-docs}
link="$build/sim-shots"
log="$build/sim-shots.log"
rm -f "$link"
cmake --build "$build" --target tarn-shots tarn-sim
"$build/bin/tarn-sim" --link "$link" --warmup 60000 > "$log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
# Ready once it has printed its device (a link left by an earlier run says nothing).
for _ in $(seq 50); do [ -s "$log" ] && [ -e "$link" ] && break; sleep 0.1; done
TARN_COM1="$link" xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/tarn-shots" "$folder"
echo "Saved $folder/view-compact.png, view-data.png and view-maintenance.png"
