#!/bin/sh
# Times BM_Propagate against satellite.js 7.1 on the same workload in one run and prints the
# ratio of the best figures. Needs Node.js and npm; installs satellite.js into bench/js on
# first use.
#
#   bench/compare-satellitejs.sh [path to orbitrak-bench] [repetitions]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../build/bench/orbitrak-bench}
repetitions=${2:-5}
if [ ! -x "$bench" ]; then
    echo "orbitrak-bench not found at $bench (build the target orbitrak-bench first)" >&2
    exit 2
fi
if [ ! -d "$here/js/node_modules/satellite.js" ]; then
    (cd "$here/js" && npm ci --no-audit --no-fund >/dev/null)
fi
exec node "$here/js/compare.mjs" "$bench" "$repetitions"
