#!/usr/bin/env bash
# Builds the engine and starts the demo game from build/game/bin.
# Without a display it runs the demo for a few seconds under a virtual X
# server and saves a screenshot into the game folder instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build/game/bin

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec ./vantor
fi

seconds=${VANTOR_DEMO_SECONDS:-8}
echo "No display available: running the demo for ${seconds} s under a virtual X server."
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r display_number <&3
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
export DISPLAY=":$display_number"

./vantor &
game_pid=$!
sleep "$seconds"
shot="$(cd .. && pwd)/demo-screenshot.png"
xwd -root -silent | python3 ../../../tools/xwd2png.py "$shot"
kill -TERM "$game_pid" 2>/dev/null || true
wait "$game_pid" || true
echo "Screenshot of the running demo: $shot"
echo "Engine log: $(pwd)/Ogre.log"
