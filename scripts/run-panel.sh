#!/usr/bin/env bash
# Starts the projector simulator on a pseudo-terminal and the panel on it as COM1.
# Without a display the panel runs under a virtual X display, a screenshot of it is
# saved to <build>/panel.png, and the run ends.
set -euo pipefail
build=${1:-build}
bin="$build/bin"
link="$build/sim-com1"
log="$build/sim.log"
rm -f "$link"

"$bin/tarn-sim" --link "$link" > "$log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
# Ready once it has printed its device (a link left by an earlier run says nothing).
for _ in $(seq 50); do [ -s "$log" ] && [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || { echo "The simulator did not start; see $build/sim.log" >&2; exit 1; }
echo "Simulated projectors on $(head -n1 "$build/sim.log") (linked as $link)"

export TARN_COM1="$link"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$bin/tarn-panel"
else
    shot="$build/panel.png"
    TARN_SCREENSHOT="$shot" xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/tarn-panel"
    echo "No display here: the panel ran under a virtual X display; screenshot saved to $shot"
fi
