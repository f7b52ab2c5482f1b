#!/usr/bin/env bash
# Replications in worker processes against the same replications run one
# after the other: the wall time of `tarnwell --replications 8 --jobs J`
# against eight separate runs (seeds 1..8), median of ROUNDS rounds each.
#   bench/bench_replications.sh [TARNWELL] [END_TIME] [JOBS] [ROUNDS]
set -euo pipefail
app=${1:-build/release/app/tarnwell}
end=${2:-400000}
jobs=${3:-2}
rounds=${4:-5}

seconds() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1; }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

sequential=() parallel=()
for ((r = 0; r < rounds; r++)); do
  sequential+=("$(seconds bash -c "for s in 1 2 3 4 5 6 7 8; do '$app' --end-time $end --seed \$s --progress never; done")")
  parallel+=("$(seconds "$app" --end-time "$end" --replications 8 --jobs "$jobs" --progress never)")
done
s=$(printf '%s\n' "${sequential[@]}" | median)
p=$(printf '%s\n' "${parallel[@]}" | median)
echo "eight sequential runs: ${sequential[*]} s (median $s s)"
echo "--replications 8 --jobs $jobs: ${parallel[*]} s (median $p s)"
awk -v s="$s" -v p="$p" 'BEGIN { printf "ratio %.2f (target <= 0.6)\n", p / s }'
