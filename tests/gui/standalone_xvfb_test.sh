#!/usr/bin/env bash
# The standalone program on a virtual X display, used with real X events: a
# knob dragged and a section switch clicked, on the main and the advanced
# page, must change what the page shows and show so again after the program is
# closed and started anew (so they reached the plug-in's state or the
# program's preferences), "?" must hand the help document that the build
# placed beside the program to the desktop, leaving no child to reap, and a
# preset that the cloud folder gains while the preset menu is open must be in
# the menu when it is opened again, also after Escape.
set -euo pipefail

standalone="$1"     # the built Zorvalune program
probe="$2"          # x_screen_probe

work=$(mktemp -d)
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/log" >&2 2>/dev/null || true; exit 1; }

# Whether process $1 has ended (a child that ended stays a zombie until waited for).
gone() { [ ! -e "/proc/$1" ] || grep -q ') Z' "/proc/$1/stat"; }

# Waits up to $1 seconds until the command after it succeeds.
until_ok() {
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# A display of our own, far from :0, which JUCE programs without $DISPLAY use;
# it keeps the atoms that the probe makes, as a window manager's display would.
for n in $(seq 90 160); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
    xvfb=$!
    until_ok 20 eval '[ -s "$work/display" ] || gone $xvfb' || true
    [ -s "$work/display" ] && break
done
[ -s "$work/display" ] || fail "Xvfb did not start"
pids+=("$xvfb")
export DISPLAY=":$(head -n1 "$work/display")"
"$probe" wm

# Our own desktop: settings in a fresh home, and an opener that writes down what it is given.
mkdir -p "$work/home" "$work/bin" "$work/cloud"
printf '#!/bin/sh\necho "$1" >> "%s/opened"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"

launch() {
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" PATH="$work/bin:$PATH" ZORVALUNE_CLOUD_DOCUMENTS="$work/cloud" \
        "$standalone" >>"$work/log" 2>&1 &
    program=$!
    pids+=("$program")
    until_ok 30 "$probe" origin || fail "the control panel never appeared"
    read -r ox oy < <("$probe" origin)
    xdotool mousemove 0 0
}

# Rectangles of the panel in its design pixels (the window opens at 800 x 600).
modulation1=(563 184 75 77)
tapeSwitch=(171 100 48 48)
tapeDepth=(159 184 74 77)
# On the advanced page, which the panel shows at (45, 100) as 700 x 485.
ccEnable=(633 504 28 28)
inputGain=(289 460 78 88)
advancedButton=(657 42)
presetsCombo=(502 42)
presetMenu=(415 63 200 300)     # under the preset combo, where its menu opens

# save NAME X Y W H, and how many pixels differ from what NAME saved.
save() { local name=$1; shift; "$probe" save $((ox + $1)) $((oy + $2)) "$3" "$4" "$work/$name"; }
differs() { local name=$1; shift; "$probe" differs $((ox + $1)) $((oy + $2)) "$3" "$4" "$work/$name"; }
changed() { [ "$(differs "$@")" -gt 100 ]; }
same() { [ "$(differs "$@")" -lt 40 ]; }

# Saves the rectangle once two looks a moment apart agree (the window may still be drawing).
settle() {
    local deadline=$((SECONDS + 10))
    save "$@"
    until sleep 0.1; [ "$(differs "$@")" -eq 0 ]; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the panel never settled"
        save "$@"
    done
}

launch

# Drag MODULATION 1 upwards.
settle knob "${modulation1[@]}"
xdotool mousemove $((ox + 600)) $((oy + 222)) mousedown 1 \
        mousemove $((ox + 602)) $((oy + 200)) mousemove $((ox + 604)) $((oy + 170)) mouseup 1 mousemove 0 0
until_ok 10 changed knob "${modulation1[@]}" || fail "the dragged knob did not move"
settle knob "${modulation1[@]}"

# Switch TAPE on: the switch lights and its knobs become usable.
settle switch "${tapeSwitch[@]}"
settle depth "${tapeDepth[@]}"
xdotool mousemove $((ox + 195)) $((oy + 124)) click 1 mousemove 0 0
until_ok 10 changed switch "${tapeSwitch[@]}" || fail "the clicked switch did not change"
until_ok 10 changed depth "${tapeDepth[@]}" || fail "TAPE DEPTH did not become usable"

settle switch "${tapeSwitch[@]}"

# "?" opens the help document that the build placed beside the program.
xdotool mousemove $((ox + 758)) $((oy + 42)) click 1 mousemove 0 0
until_ok 10 test -s "$work/opened" || fail "the help button opened nothing"
document=$(head -n1 "$work/opened")
[[ "$document" == */share/Zorvalune/ZorvaluneHelp.pdf ]] || fail "opened $document"
head -c 5 "$document" | grep -q '%PDF-' || fail "$document is not a PDF"

# The program reaps the opener it started: no zombie child is left behind.
no_zombie_child() { local all; all=$(cat /proc/[0-9]*/stat 2>/dev/null || true); [[ "$all" != *") Z $program "* ]]; }
until_ok 10 no_zombie_child || fail "the help button left a zombie child"

# The preset menu open, a preset arrives in the cloud folder; closed with
# Escape and opened again, the menu lists it (one item more).
openPresetMenu() {
    xdotool mousemove $((ox + presetsCombo[0])) $((oy + presetsCombo[1])) click 1 mousemove 0 0
    until_ok 10 changed closed "${presetMenu[@]}" || fail "the preset menu did not open"
}
settle closed "${presetMenu[@]}"
openPresetMenu
settle menu "${presetMenu[@]}"
printf '{ "Dry Wet": 0.5 }' > "$work/cloud/.bb_new.tmp"
mv "$work/cloud/.bb_new.tmp" "$work/cloud/bb_new.json"
until_ok 10 grep -q "preset downloaded bb_new.json" "$work/log" || fail "the cloud preset was never seen"
xdotool key Escape
until_ok 10 same closed "${presetMenu[@]}" || fail "Escape did not close the preset menu"
openPresetMenu
settle reopened "${presetMenu[@]}"
changed menu "${presetMenu[@]}" || fail "the preset that arrived while the menu was open is not in it"
xdotool key Escape
until_ok 10 same closed "${presetMenu[@]}" || fail "Escape did not close the preset menu"

# ADVANCED shows the advanced page: CC Enable switched on (a preference of
# the program) and INPUT GAIN dragged (a parameter of the plug-in).
xdotool mousemove $((ox + advancedButton[0])) $((oy + advancedButton[1])) click 1 mousemove 0 0
until_ok 10 changed switch "${tapeSwitch[@]}" || fail "ADVANCED showed no page over the panel"
settle cc "${ccEnable[@]}"
settle gain "${inputGain[@]}"
xdotool mousemove $((ox + 647)) $((oy + 518)) click 1 mousemove 0 0
until_ok 10 changed cc "${ccEnable[@]}" || fail "CC Enable did not switch"
xdotool mousemove $((ox + 328)) $((oy + 500)) mousedown 1 \
        mousemove $((ox + 330)) $((oy + 480)) mousemove $((ox + 332)) $((oy + 450)) mouseup 1 mousemove 0 0
until_ok 10 changed gain "${inputGain[@]}" || fail "INPUT GAIN did not move"
settle cc "${ccEnable[@]}"
settle gain "${inputGain[@]}"

# Closed as a window manager closes it, the program keeps its state; started
# again, it shows the knob and the switch as they were left.
# (Asked again should a request get lost: a window that vanishes while xdotool
# walks the tree makes it give up.)
deadline=$((SECONDS + 20))
until gone "$program"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the program did not close"
    for window in $(xdotool search --name '^Zorvalune$' 2>/dev/null || true); do "$probe" close "$window" || true; done
    until_ok 2 gone "$program" || true
done
wait "$program" || true
unset 'pids[-1]'

launch
until_ok 10 same knob "${modulation1[@]}" || fail "the knob's new value was not kept"
until_ok 10 same switch "${tapeSwitch[@]}" || fail "the switch's new state was not kept"
xdotool mousemove $((ox + advancedButton[0])) $((oy + advancedButton[1])) click 1 mousemove 0 0
until_ok 10 same gain "${inputGain[@]}" || fail "INPUT GAIN's new value was not kept"
until_ok 10 same cc "${ccEnable[@]}" || fail "CC Enable was not kept in the preferences"

echo "standalone under Xvfb: knobs dragged and switches clicked on both pages, help opened, all kept over a restart; the preset menu followed the cloud folder"
