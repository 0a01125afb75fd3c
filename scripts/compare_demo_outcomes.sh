#!/usr/bin/env bash
# Runs the five demo scenarios with two builds of the demo host and fails when their outcomes
# differ: the exit code, the count of legs or plans that succeeded, and each leg's or step's
# verdict. Figures that depend on speed (planning times) are not compared.
#
# Usage: compare_demo_outcomes.sh REFERENCE_DEMO DEMO OUTPUT_DIR
set -euo pipefail
reference=$1
candidate=$2
out=$3
mkdir -p "$out"

# The verdicts in a scenario's report, one per line, numbers and positions left out except the
# closing counts.
verdicts() {
  local scenario=$1 report=$2
  case "$scenario" in
    global) grep -E '^ +[a-z]+,|^[0-9]+ of [0-9]+ plans' "$report" | sed -E 's/^ +([a-z]+),.*/\1/' ;;
    drive) grep -E '^ +[a-z][a-z ]* after [0-9.]+ s;|^[0-9]+ of [0-9]+ legs' "$report" |
      sed -E 's/^ +([a-z][a-z ]*) after .*/\1/' ;;
    lift) grep -E '^[0-9]+\. |robot events raised' "$report" |
      sed -E 's/^([0-9]+\.)[^:]*: ([A-Za-z ]*).*/\1 \2/; s/^ +(robot events raised: [0-9]+).*/\1/' ;;
    water) grep -E '^answer: ' "$report" | sed -E 's/^(answer: [0-9]+ poses).*/\1/' ;;
    clean) grep -E '^[a-z_]+: ' "$report" | sed -E 's/^([a-z_]+: [a-z ;]*).*/\1/' ;;
  esac
}

run() {
  local demo=$1 scenario=$2 name=$3
  local code=0
  timeout 900 "$demo" --scenario "$scenario" --output "$out/$name.png" >"$out/$name.txt" \
    2>"$out/$name.err" || code=$?
  echo "exit $code" >"$out/$name.verdicts"
  verdicts "$scenario" "$out/$name.txt" >>"$out/$name.verdicts" || true
}

failed=0
domain=201
for scenario in global lift water drive clean; do
  # A DDS domain of its own for each run.
  ROS_DOMAIN_ID=$domain run "$reference" "$scenario" "$scenario.reference"
  ROS_DOMAIN_ID=$domain run "$candidate" "$scenario" "$scenario"
  domain=$((domain + 1))
  if diff -u "$out/$scenario.reference.verdicts" "$out/$scenario.verdicts"; then
    echo "demo $scenario: same outcome ($(head -1 "$out/$scenario.verdicts"), $(($(wc -l <"$out/$scenario.verdicts") - 1)) verdicts)"
  else
    echo "demo $scenario: outcome differs from the reference build (reports in $out)"
    cat "$out/$scenario.txt" "$out/$scenario.err"
    failed=1
  fi
done
exit $failed
