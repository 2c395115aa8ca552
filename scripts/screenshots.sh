#!/usr/bin/env bash
# Draws the user guide's pictures: starts the real program on a virtual
# display (Xvfb), drives it with mouse clicks (xdotool) as a student would,
# and saves screenshots (ImageMagick's import) into docs/. Run it by hand
# after a change to the window, and commit the pictures:
#
#   scripts/screenshots.sh [PROGRAM [OPTIONS...]]
#
# PROGRAM defaults to build/app/tervalo (built when missing). Extra options
# are passed on, e.g. `--port emulator` for a closed loop on the emulated kit.
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (apt-get install xvfb xdotool imagemagick)" >&2; exit 1; }
done

program=${1:-build/app/tervalo}
shift || true
if [ ! -x "$program" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTERVALO_TESTS=OFF -DTERVALO_BENCH=OFF >/dev/null
  cmake --build build --target tervalo -j"$(nproc)"
  program=build/app/tervalo
fi
out=docs
mkdir -p "$out"

# A display of its own; Xvfb names the first free one.
work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
# The pictures show the real desktop platform, in English.
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8
unset TERVALO_PORT

# The main window's outer size in pixels; it sits at the origin (no window
# manager runs).
width=667
height=580
# Positions in the window, in twips (15 twips per pixel), as the layout has
# them; buttons at their centre, option buttons on their caption's first
# letters (the part of the row that takes a click).
px() { echo $(( $1 / 15 )); }
click() { # X Y in twips
  xdotool mousemove "$(px "$1")" "$(px "$2")" click 1
  sleep 0.4
}
drag() { # X0 X1 Y in twips: press at X0, release at X1
  xdotool mousemove "$(px "$1")" "$(px "$3")" mousedown 1
  sleep 0.2
  xdotool mousemove "$(( ($(px "$1") + $(px "$2")) / 2 ))" "$(px "$3")"
  sleep 0.2
  xdotool mousemove "$(px "$2")" "$(px "$3")" mouseup 1
  sleep 0.4
}
shot() { # NAME [GEOMETRY]
  import -window root -crop "${2:-${width}x${height}+0+0}" +repage "$out/$1.png"
  echo "screenshots: $out/$1.png"
}

# Controls (twips, window coordinates)
OPEN_LOOP=(660 5205)       # Acik
KIT_LOOP=(660 5527)        # Kapalii
SIMULATION=(660 5797)      # simulasyon
P=(660 6127)               # Pcontrol
PID=(660 7087)             # PIDcontrol
FUZZY=(660 7327)           # Bulanik
START=(3547 5032)          # Label32
STOP=(3532 5752)           # Label33
RESET=(3547 6457)          # Label34
ENGLISH=(3600 6922)        # Dil(0)
ACTUATOR_Y=7927            # Slider1, from x 60 to 9945
ACTUATOR_THUMB=400         # its thumb at the lowest value
REFERENCE_Y=5722           # Myslider1, from x 4320 to 5445
GAIN_THUMB=1080            # a gain slider's thumb at zero
P_KP_Y=3037                # Slider2 in the P panel (0 to 1.2)
PID_KP_Y=2977              # Slider6 (0 to 0.2)
PID_KD_Y=3457              # Slider7 (0 to 0.1)
PID_KI_Y=3937              # Slider8 (0 to 0.5)
GRAPH="333x275+330+30"     # Mygraph1

# PID with Kp about 0.1, Ki about 0.3 and Kd about 0.02 (RESET sets gains to 0)
pid_gains() {
  click "${PID[@]}"
  drag "$GAIN_THUMB" 2350 "$PID_KP_Y"
  drag "$GAIN_THUMB" 2600 "$PID_KI_Y"
  drag "$GAIN_THUMB" 1600 "$PID_KD_Y"
}

"$program" "$@" >"$work/program.log" 2>&1 &
pids+=($!)
# Wait for the window; without a kit a message about the port driver comes
# first and is closed with its OK button.
for _ in $(seq 100); do
  xdotool search --name '^Dervani$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1.5
for w in $(xdotool search --name '^Dervani$' 2>/dev/null); do
  read -r wx wy ww wh < <(xdotool getwindowgeometry --shell "$w" | awk -F= '/^X=/{x=$2}/^Y=/{y=$2}/^WIDTH=/{w=$2}/^HEIGHT=/{h=$2}END{print x, y, w, h}')
  if [ "$ww" -lt "$width" ]; then
    # the message box: its OK button sits in the lower right corner
    xdotool mousemove $((wx + ww - 52)) $((wy + wh - 24)) click 1
    sleep 0.8
  fi
done

click "${ENGLISH[@]}"

# 1. Open loop: the actuator value set by hand, the lamps show its word.
click "${OPEN_LOOP[@]}"
drag "$ACTUATOR_THUMB" 5600 "$ACTUATOR_Y"
click "${START[@]}"
sleep 3
shot open-loop
click "${STOP[@]}"
click "${RESET[@]}"

# 2. Closed loop on the kit, PID: with a kit (or the emulated kit) the run
#    goes; without one the picture shows the mode chosen.
click "${KIT_LOOP[@]}"
pid_gains
if grep -q 'No such file\|Permission denied\|cannot' "$work/program.log"; then
  shot kit-closed-loop
else
  click "${START[@]}"
  sleep 10
  shot kit-closed-loop
  click "${STOP[@]}"
fi
click "${RESET[@]}"

# 3. Simulation with a PID controller, a whole sweep of the graph.
click "${SIMULATION[@]}"
pid_gains
click "${START[@]}"
sleep 16
shot simulation-pid
shot graph "$GRAPH"
click "${STOP[@]}"
click "${RESET[@]}"

# 4. A P loop in simulation, as in the first lab.
click "${P[@]}"
drag "$GAIN_THUMB" 2600 "$P_KP_Y"
click "${START[@]}"
sleep 8
shot simulation-p
click "${STOP[@]}"
click "${RESET[@]}"

# 5. Fuzzy control in simulation: the fired rule cells turn blue.
click "${FUZZY[@]}"
click "${START[@]}"
sleep 8
shot fuzzy
click "${STOP[@]}"

if [ -s "$work/program.log" ]; then
  echo "screenshots: the program said:" >&2
  cat "$work/program.log" >&2
fi
