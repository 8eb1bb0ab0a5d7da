# Shared by the benchmarks that time `vistrom --convert` against the ffmpeg
# command line; sourced after setting `bench` (the script's name), `runs`
# (the default number of runs) and `movies` (the glob of the movies written).
# Reads BUILD_DIR as $1 and FRAMES and RUNS from the environment.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
vistrom="$build/bin/vistrom"
frames=${FRAMES:-300}
runs=${RUNS:-$runs}
[ -x "$vistrom" ] || { echo "$bench: $vistrom is missing; build first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "$bench: ffmpeg is missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vistrom-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
# Wall time in seconds of running "$@" once, on a fresh output: neither side
# pays for dropping the cached pages of the last run's movie.
time_once() {
  local t0 t1
  rm -f "$work"/$movies
  t0=$(now); "$@" >/dev/null 2>&1 || { echo "$bench: failed: $*" >&2; exit 1; }; t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}'
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# pair VISTROM-FUNCTION FFMPEG-FUNCTION: runs the two in turn $runs times, so
# that a change in the machine's load hits both alike; prints both medians.
pair() {
  local tv=() tf=()
  for _ in $(seq "$runs"); do
    tv+=("$(time_once "$1")")
    tf+=("$(time_once "$2")")
  done
  echo "$(median "${tv[@]}") $(median "${tf[@]}")"
}
# project FILE WIDTH HEIGHT SCALE ROWS...: a project file, 8 fps, 24 bits.
project() {
  local file=$1 w=$2 h=$3 scale=$4; shift 4
  { printf '!F 8\n!S %s,%s\n!X %s\n!B 2\n!W 1\n!D 0\n' "$w" "$h" "$scale"; printf '%s\n' "$@"; } >"$file"
}
report() { # name vistrom-seconds ffmpeg-seconds target
  awk -v n="$1" -v v="$2" -v f="$3" -v t="$4" 'BEGIN {
    printf "%s: vistrom %.2fs, ffmpeg %.2fs, ratio %.2f (target <= %s)\n", n, v, f, v / f, t }'
}

echo "cores: $(nproc)"
# The ratios hold for an otherwise idle machine: when other work takes the
# cores, both tools are held to what is left and the ratio tends to their
# CPU-time ratio instead.
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "frames: $frames, runs: $runs (median)"
