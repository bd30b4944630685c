#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Turns the conformance suite's own output into a markdown table: one row per check with the
# figures it recorded (gtest RecordProperty, in the XML reports) and its result, plus rows
# given in an extra file (tab-separated: check, figures, result, seconds) and one row per ctest
# log given with -c NAME=LOG (its test count, failures and time), e.g. the sanitizer pass.
#
#   scripts/conformance-table.sh [-p PASS] [-x EXTRA] [-c NAME=LOG]... -o OUTPUT.md REPORT.xml...
#
# Exit status: 0 when every row passed, 1 when any failed, 2 for usage errors.
set -euo pipefail

pass="quick"
extra=""
output=""
ctest_logs=()
while getopts "p:x:c:o:" option; do
  case "$option" in
    p) pass="$OPTARG" ;;
    x) extra="$OPTARG" ;;
    c) ctest_logs+=("$OPTARG") ;;
    o) output="$OPTARG" ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ -z "$output" ] || [ $# -eq 0 ]; then
  echo "usage: $0 [-p PASS] [-x EXTRA] -o OUTPUT.md REPORT.xml..." >&2
  exit 2
fi
for report in "$@"; do
  if [ ! -r "$report" ]; then
    echo "conformance-table: cannot read $report" >&2
    exit 2
  fi
done

rows=$(mktemp)
trap 'rm -f "$rows"' EXIT

# One tab-separated row per test case: check, figures, result, seconds.
awk '
  function attr(line, key,    found) {
    if (!match(line, " " key "=\"[^\"]*\"")) return ""
    found = substr(line, RSTART + length(key) + 3, RLENGTH - length(key) - 4)
    gsub(/&quot;/, "\"", found); gsub(/&apos;/, "\047", found)
    gsub(/&lt;/, "<", found); gsub(/&gt;/, ">", found); gsub(/&amp;/, "\\&", found)
    gsub(/\|/, "\\|", found)
    return found
  }
  function emit() {
    result = failed ? "FAIL" : (skipped ? "skipped" : "pass")
    printf "%s\t%s\t%s\t%s\n", check, figures, result, seconds
    open = 0
  }
  /<testcase / {
    check = attr($0, "classname") "." attr($0, "name")
    seconds = attr($0, "time")
    figures = ""; failed = 0; skipped = (attr($0, "result") == "skipped")
    open = 1
    if ($0 ~ /\/>[[:space:]]*$/) emit()
    next
  }
  open && /<property / {
    figures = figures (figures == "" ? "" : "; ") attr($0, "name") " = " attr($0, "value")
    next
  }
  open && /<failure/ { failed = 1; next }
  open && /<skipped/ { skipped = 1; next }
  open && /<\/testcase>/ { emit() }
' "$@" > "$rows"

if [ -n "$extra" ] && [ -r "$extra" ]; then
  awk -F'\t' 'NF >= 3 { printf "%s\t%s\t%s\t%s\n", $1, $2, $3, $4 }' "$extra" >> "$rows"
fi

for entry in "${ctest_logs[@]}"; do
  name="${entry%%=*}"
  log="${entry#*=}"
  awk -v name="$name" '
    /tests passed, .* tests failed out of/ {
      failed = $4; total = $NF; found = 1
    }
    /Total Test time \(real\)/ { seconds = $(NF - 1) }
    END {
      if (!found) { printf "%s\tno ctest summary in the log\tFAIL\t\n", name; exit }
      printf "%s\ttests = %s; failed = %s\t%s\t%s\n", name, total, failed,
             failed == 0 ? "pass" : "FAIL", seconds
    }
  ' "$log" >> "$rows"
done

total=$(wc -l < "$rows")
failed=$(awk -F'\t' '$3 == "FAIL"' "$rows" | wc -l)
seconds=$(awk -F'\t' '{ s += $4 } END { printf "%.1f", s }' "$rows")
commit=$(git -C "$(dirname "$0")/.." rev-parse --short HEAD 2>/dev/null || echo unknown)

mkdir -p "$(dirname "$output")"
{
  echo "# Conformance"
  echo
  echo "Produced by \`make conformance\` from the suite's own reports (tests/conformance; each"
  echo "check records its figures). Pass: $pass. Commit $commit, $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo "$total checks, $failed failed, ${seconds} s in the checks."
  echo
  echo "| Check | Figures | Result | Seconds |"
  echo "|---|---|---|---|"
  awk -F'\t' '{ printf "| `%s` | %s | %s | %s |\n", $1, $2, $3, $4 }' "$rows"
} > "$output"
echo "conformance-table: $total checks, $failed failed -> $output"
[ "$failed" -eq 0 ]
