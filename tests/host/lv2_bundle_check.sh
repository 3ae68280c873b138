#!/usr/bin/env bash
# Lets LV2 tools that we did not write read the built bundle: lilv's lv2info
# must list the plug-in with its ports and presets, and sord_validate must
# report nothing beyond the known complaints about the framework's own TTL.
set -euo pipefail

bundle="$1"        # .../LV2/Zorvalune.lv2
uri="$2"
baseline="$3"

fail() { echo "FAIL: $*" >&2; exit 1; }

info=$(LV2_PATH="$(dirname "$bundle")" lv2info "$uri")

grep -q "Name: *Zorvalune$" <<<"$info" || fail "lv2info does not name the plug-in"
[ "$(grep -c 'lv2core#AudioPort' <<<"$info")" -eq 24 ] \
    || fail "expected 24 audio ports (8 in, 8 side-chain, 8 out)"
for preset in "default" "steady noise" "snare noise" "flute noise" "a little lofi" "old casette" \
              "random tape wobble" "hell"; do
    grep -q "^[[:space:]]*$preset$" <<<"$info" || fail "preset '$preset' not listed"
done

# Every parameter has a symbol of its own; collapsed names would share one.
for i in $(seq 0 47); do
    grep -q "^plug:p$i$" "$bundle/dsp.ttl" || fail "parameter p$i missing from dsp.ttl"
done
if grep -q "^plug:_" "$bundle/dsp.ttl"; then fail "a parameter name collapsed to plug:_"; fi

schemas=$(find /usr/lib/lv2 -name '*.ttl')
actual=$(sord_validate $schemas "$bundle"/*.ttl 2>&1 | grep -E '^(error|warning):' | sort | uniq -c || true)
expected=$(cat "$baseline")

if [ "$actual" != "$expected" ]; then
    echo "sord_validate reported:"; echo "$actual"
    echo "baseline:"; echo "$expected"
    fail "sord_validate output differs from the baseline"
fi

echo "LV2 bundle check: 1 passed, 0 failed"
