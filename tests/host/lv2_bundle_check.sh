#!/usr/bin/env bash
# Lets LV2 tools that we did not write read the built bundle: lilv's lv2info
# must list the plug-in with its ports and presets, and lv2_validate (the
# bundle against the LV2 standard's own vocabularies alone, whatever else is
# installed) must report nothing beyond the known complaints about the
# framework's own TTL.
set -euo pipefail

bundle="$1"        # .../LV2/Zorvalune.lv2
uri="$2"
baseline="$3"

fail() { echo "FAIL: $*" >&2; exit 1; }

info=$(LV2_PATH="$(dirname "$bundle")" lv2info "$uri")

grep -q "Name: *Zorvalune$" <<<"$info" || fail "lv2info does not name the plug-in"
for preset in "default" "steady noise" "snare noise" "flute noise" "a little lofi" "old casette" \
              "random tape wobble" "hell"; do
    grep -q "^[[:space:]]*$preset$" <<<"$info" || fail "preset '$preset' not listed"
done

# One line per audio port: its symbol, whether it is a side-chain input, and
# whether a host may leave it unconnected (none may: the client reads them all).
ports=$(awk '/^\tPort [0-9]+:/ { if (audio) print symbol, side, need; audio = 0; side = "main"; need = "required"; symbol = "" }
             /lv2core#AudioPort/  { audio = 1 }
             /Symbol:/            { symbol = $2 }
             /lv2core#isSideChain/ { side = "side-chain" }
             /lv2core#connectionOptional/ { need = "optional" }
             END { if (audio) print symbol, side, need }' <<<"$info")
expected_ports=$'audio_in_1 main required\naudio_in_2 main required\naudio_in_3 side-chain required\naudio_out_1 main required\naudio_out_2 main required'
[ "$ports" == "$expected_ports" ] || fail "audio ports differ: got"$'\n'"$ports"

# Every parameter has a symbol of its own; collapsed names would share one.
for i in $(seq 0 47); do
    grep -q "^plug:p$i$" "$bundle/dsp.ttl" || fail "parameter p$i missing from dsp.ttl"
done
if grep -q "^plug:_" "$bundle/dsp.ttl"; then fail "a parameter name collapsed to plug:_"; fi

actual=$(lv2_validate "$bundle"/*.ttl 2>&1 | grep -E '^(error|warning):' | sort | uniq -c || true)
expected=$(cat "$baseline")

if [ "$actual" != "$expected" ]; then
    echo "lv2_validate reported:"; echo "$actual"
    echo "baseline:"; echo "$expected"
    fail "lv2_validate output differs from the baseline"
fi

echo "LV2 bundle check: 1 passed, 0 failed"
