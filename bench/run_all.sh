#!/usr/bin/env bash
# Builds the programs (Release) with the benchmark tools, runs every benchmark
# and prints one table. Never part of the test run.
#   bench/run_all.sh [--quick] [--only relay|replay|clientmem|servermem|lobby|rooms]...
# Builds go to build-bench/main (or $ZB_BENCH_DIR/main); each step's output to
# build-bench/logs/STEP.log, the raw results to build-bench/results.txt. A
# build or a tool that fails is named on stderr with the end of its log, and
# the script exits non-zero (after the table, when a tool failed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${ZB_BENCH_DIR:-$root/build-bench}
lock=/tmp/zb-build.lock
quick=
only=()
while [ $# -gt 0 ]; do
    case $1 in
        --quick) quick=--quick ;;
        --only) only+=("$2"); shift ;;
        *) echo "usage: bench/run_all.sh [--quick] [--only STEP]..." >&2; exit 2 ;;
    esac
    shift
done
logs=$out/logs
mkdir -p "$logs"
failed=()

# The end of a failed step's log, where the reason is.
report() {
    echo "run_all: step '$1' failed (exit $2): $3" >&2
    echo "run_all: last lines of $logs/$1.log:" >&2
    tail -n 30 "$logs/$1.log" | sed 's/^/    /' >&2
}
# A build step: nothing can be measured without it.
build() {
    local name=$1 rc=0
    shift
    flock "$lock" "$@" >"$logs/$name.log" 2>&1 || rc=$?
    if [ "$rc" -ne 0 ]; then
        report "$name" "$rc" "$*"
        exit 1
    fi
}
# A benchmark: its RESULT lines go into the table; a failure is reported and
# the other benchmarks still run.
measure() {
    local name=$1 rc=0
    shift
    if [ ${#only[@]} -gt 0 ] && [[ " ${only[*]} " != *" $name "* ]]; then return 0; fi
    echo "run_all: $name" >&2
    "$@" >"$logs/$name.log" 2>&1 || rc=$?
    grep '^RESULT' "$logs/$name.log" >>"$results" || true
    if [ "$rc" -ne 0 ]; then
        report "$name" "$rc" "$*"
        failed+=("$name")
    fi
}

build configure cmake -S "$root" -B "$out/main" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZB_BUILD_TESTS=OFF \
    -DZB_BUILD_BENCH=ON
build build cmake --build "$out/main" -j2 --target zbserver zbserverd zbdata zblobby zbbench
bin=$out/main/bin
tools=$out/main/bench

# The measurement holds the build lock too: a build on the other core would
# move every figure.
exec 9>"$lock"
flock 9

work=$(mktemp -d /tmp/zbbench.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$bin/default.dat" "$work/"
mkdir "$work/rooms"
results=$out/results.txt
: >"$results"
small() { [ "$quick" = --quick ] && echo "$1" || echo "$2"; }

measure relay "$tools/zbload" --zbserver "$bin/zbserver" --bare "$tools/barerelay" \
    --data-dir "$work" --work-dir "$work" --nagle --preload-nodelay "$tools/libnodelay_preload.so" $quick
measure replay "$tools/replaybench" "$(small 20 200)"
measure clientmem "$tools/clientmem" "$bin/zbserver" "$work" "$(small 200 1000)"
# shellcheck disable=SC2046 # the quick options are two words each
measure servermem "$tools/servermem" --data-dir "$work" --work-dir "$work" --env ZB_NO_ROUTER_SEARCH=1 \
    --env ZB_BENCH_STROKE_BUDGET_KIB=2097151 $([ "$quick" = --quick ] && echo "--runs 1 --strokes 200") \
    zbserverd="$bin/zbserverd" zbserver-headless="$bin/zbserver" qtrelay="$tools/qtrelay,raw"
measure lobby "$tools/lobbyload" --zblobby "$bin/zblobby" --work-dir "$work" $quick
measure rooms "$tools/roomload" --zbserverd "$bin/zbserverd" --data-dir "$work" --work-dir "$work/rooms" $quick

fuzzlog=$root/build-fuzz/fuzz-work/fuzz-log.txt
echo "machine: $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'), $(uname -r)"
awk -v fuzzlog="$fuzzlog" '
function v(s, m) { return ((s SUBSEP m) in r) ? r[s, m] : "n/a" }
function ratio(a, b) { return (a == "n/a" || b == "n/a" || b == 0) ? "n/a" : sprintf("%.2f", a / b) }
function row(name, a, b, rat, target, met) {
    printf "%-34s %12s %12s %7s  %-10s %s\n", name, a, b, rat, target, met
}
# One lobby row over the three steps; the target applies to the top step.
function lrow(name, metric, target, op, lim,    a, b, c) {
    a = v("lobby-50x500", metric); b = v("lobby-100x1000", metric); c = v("lobby-200x2000", metric)
    printf "%-34s %10s %10s %10s  %-10s %s\n", name, fmt(a), fmt(b), fmt(c), target, target == "" ? "" : check(c, op, lim)
}
function fmt2(x) { return x == "n/a" ? x : sprintf("%.2f", x) }
function fmt(x) { return x == "n/a" ? x : (x + 0 == int(x + 0) ? sprintf("%d", x) : sprintf("%.2f", x)) }
function check(rat, op, lim) {
    if (rat == "n/a") return "?"
    return (op == ">=" ? rat + 0 >= lim : rat + 0 <= lim) ? "yes" : "NO"
}
{ r[$2, $3] = $4; seen[$2] = 1 }
END {
    printf "%-34s %12s %12s %7s  %-10s %s\n", "relay (1 sender, 7 receivers)", "zbserver", "bare relay", "ratio", "target", "met"
    n = split("100 1000 5000", sizes, " ")
    for (i = 1; i <= n; i++) {
        z = "relay-" sizes[i] "/zbserver"; b = "relay-" sizes[i] "/bare"
        if (v(z, "failed") != "n/a") row(sizes[i] " points: STALLED", "", "", "", "", "NO")
        rt = ratio(v(z, "strokes_per_s"), v(b, "strokes_per_s"))
        row(sizes[i] " pts strokes/s (median)", sprintf("%.0f", v(z, "strokes_per_s")), sprintf("%.0f", v(b, "strokes_per_s")), rt, ">= 0.8", check(rt, ">=", 0.8))
        rt = ratio(v(z, "mb_per_s"), v(b, "mb_per_s"))
        row(sizes[i] " pts MB/s delivered", sprintf("%.1f", v(z, "mb_per_s")), sprintf("%.1f", v(b, "mb_per_s")), rt, "", "")
        rt = ratio(v(z, "latency_p50_us"), v(b, "latency_p50_us"))
        row(sizes[i] " pts latency p50 (us)", sprintf("%.0f", v(z, "latency_p50_us")), sprintf("%.0f", v(b, "latency_p50_us")), rt, "", "")
        rt = ratio(v(z, "latency_p99_us"), v(b, "latency_p99_us"))
        row(sizes[i] " pts latency p99 (us)", sprintf("%.0f", v(z, "latency_p99_us")), sprintf("%.0f", v(b, "latency_p99_us")), rt, "<= 2", check(rt, "<=", 2))
        # Server CPU (user + system, /proc/PID/stat) per GB delivered, over the throughput runs.
        rt = ratio(v(z, "cpu_s_per_gb"), v(b, "cpu_s_per_gb"))
        row(sizes[i] " pts CPU s per GB delivered", fmt2(v(z, "cpu_s_per_gb")), fmt2(v(b, "cpu_s_per_gb")), rt, "<= 1.25", check(rt, "<=", 1.25))
    }
    print ""
    printf "%-34s %12s %12s %7s\n", "diagnostics, ratio to bare relay", "zbs+NODELAY", "bare+Nagle", ""
    for (i = 1; i <= n; i++) {
        d = "relay-" sizes[i] "/zbserver-nodelay"; g = "relay-" sizes[i] "/bare-nagle"; b = "relay-" sizes[i] "/bare"
        row(sizes[i] " pts strokes/s ratio", ratio(v(d, "strokes_per_s"), v(b, "strokes_per_s")), ratio(v(g, "strokes_per_s"), v(b, "strokes_per_s")), "", "", "")
        row(sizes[i] " pts latency p99 ratio", ratio(v(d, "latency_p99_us"), v(b, "latency_p99_us")), ratio(v(g, "latency_p99_us"), v(b, "latency_p99_us")), "", "", "")
    }
    print ""
    printf "%-34s %12s %12s %7s\n", "guess until QOK (ms)", "loaded", "idle", "ratio"
    row("median", v("guess/loaded", "qok_p50_ms"), v("guess/idle", "qok_p50_ms"), ratio(v("guess/loaded", "qok_p50_ms"), v("guess/idle", "qok_p50_ms")), "", "")
    row("p99", v("guess/loaded", "qok_p99_ms"), v("guess/idle", "qok_p99_ms"), ratio(v("guess/loaded", "qok_p99_ms"), v("guess/idle", "qok_p99_ms")), "", "")
    row("samples", v("guess/loaded", "samples"), v("guess/idle", "samples"), "", "", "")
    print ""
    printf "%-34s %12s %12s %7s\n", "client replay, 5000 pts width 28", "replay", "floor", "ratio"
    row("median (ms)", v("replay/decode+draw", "median_ms"), v("replay/floor-polyline", "median_ms"), ratio(v("replay/decode+draw", "median_ms"), v("replay/floor-polyline", "median_ms")), "", "")
    row("p99 (ms)", v("replay/decode+draw", "p99_ms"), v("replay/floor-polyline", "p99_ms"), ratio(v("replay/decode+draw", "p99_ms"), v("replay/floor-polyline", "p99_ms")), "", "")
    row("  of which decode, median (ms)", v("replay/decode", "median_ms"), "", "", "", "")
    row("  per-segment drawing, median (ms)", v("replay/per-segment", "median_ms"), "", "", "", "")
    print ""
    m = "memory/zbserver"
    printf "%-34s %12s %12s %7s  %-10s %s\n", "zbserver memory, 8 seated", "MB", "", "", "target", "met"
    peak = v(m, "peak_rss_mb")
    row("strokes relayed (5000 pts)", v(m, "strokes"), "", "", "", "")
    row("RSS when seated", v(m, "rss_seated_mb"), "", "", "", "")
    row("peak RSS (VmHWM)", peak, "", "", "< 30", peak == "n/a" ? "?" : (peak + 0 < 30 ? "yes" : "NO"))
    g = v(m, "growth_second_half_mb")
    row("RSS growth, second half", g, "", "", "~0", g == "n/a" ? "?" : (g + 0 <= 0.5 ? "yes" : "NO"))
    if (v(m, "failed") != "n/a") row("memory run: STALLED", "", "", "", "", "NO")
    c = "memory/client"
    print ""
    printf "%-34s %12s\n", "client core memory, replaying", "MB"
    row("strokes replayed (5000 pts)", v(c, "strokes"), "", "", "", "")
    row("RSS when joined", v(c, "rss_seated_mb"), "", "", "", "")
    row("peak RSS (VmHWM)", v(c, "peak_rss_mb"), "", "", "", "")
    row("RSS growth, second half", v(c, "growth_second_half_mb"), "", "", "", "")
    print ""
    printf "%-34s %12s %12s %12s  %-10s %s\n", "dedicated server memory (median)", "zbserverd", "--headless", "Qt relay", "target", "met"
    d = "memory/zbserverd"; h = "memory/zbserver-headless"; q = "memory/qtrelay"
    printf "%-34s %12s %12s %12s\n", "runs", v(d, "runs"), v(h, "runs"), v(q, "runs")
    printf "%-34s %12s %12s %12s\n", "RSS when seated (MB)", v(d, "rss_seated_mb"), v(h, "rss_seated_mb"), v(q, "rss_seated_mb")
    e = v(d, "rss_end_mb")
    printf "%-34s %12s %12s %12s  %-10s %s\n", "RSS after " v(d, "strokes") " strokes (MB)", e, v(h, "rss_end_mb"), v(q, "rss_end_mb"), "<= 12", e == "n/a" ? "?" : (e + 0 <= 12 ? "yes" : "NO")
    printf "%-34s %12s %12s %12s\n", "  of which mapped files (MB)", v(d, "rss_file_end_mb"), v(h, "rss_file_end_mb"), v(q, "rss_file_end_mb")
    printf "%-34s %12s %12s %12s\n", "  of which anonymous (MB)", v(d, "rss_anon_end_mb"), v(h, "rss_anon_end_mb"), v(q, "rss_anon_end_mb")
    g = v(d, "growth_second_half_mb")
    printf "%-34s %12s %12s %12s  %-10s %s\n", "growth, second half (MB)", g, v(h, "growth_second_half_mb"), v(q, "growth_second_half_mb"), "<= 0.1", g == "n/a" ? "?" : (g + 0 <= 0.1 ? "yes" : "NO")
    printf "%-34s %12s %12s %12s\n", "peak RSS, VmHWM (MB)", v(d, "peak_rss_mb"), v(h, "peak_rss_mb"), v(q, "peak_rss_mb")
    if (v(d, "failed") != "n/a") row("dedicated memory run: STALLED", "", "", "", "", "NO")
    print ""
    printf "%-34s %10s %10s %10s  %-10s %s\n", "lobby load (rooms / players)", "50/500", "100/1000", "200/2000", "target", "met"
    split("lobby-50x500 lobby-100x1000 lobby-200x2000", steps, " ")
    for (i = 1; i <= 3; i++) if (v(steps[i], "failed") != "n/a") printf "%-34s %s\n", steps[i] ": FAILED", "NO"
    lrow("STS to last player, median (ms)", "latency_p50_ms", "", "", 0)
    lrow("STS to last player, p99 (ms)", "latency_p99_ms", "<= 1500", "<=", 1500)
    lrow("first to last player, median (ms)", "spread_p50_ms", "", "", 0)
    lrow("first to last player, p99 (ms)", "spread_p99_ms", "", "", 0)
    lrow("samples", "samples", "", "", 0)
    lrow("  timed out (10 s)", "timeouts", "0", "<=", 0)
    lrow("zblobby CPU while measured (s)", "cpu_s", "", "", 0)
    lrow("zblobby CPU while measured (%)", "cpu_percent", "", "", 0)
    lrow("zblobby peak RSS (MB)", "peak_rss_mb", "<= 200", "<=", 200)
    lrow("bytes sent (MB/s)", "mb_sent_per_s", "", "", 0)
    lrow("room lists per player per s", "lists_per_player_per_s", "", "", 0)
    lrow("players cut", "players_cut", "0", "<=", 0)
    # Rooms per machine: one row per step, in the order of their size.
    nr = 0
    for (k in seen) if (k ~ /^rooms-[0-9]+$/) { n1 = substr(k, 7) + 0; for (j = nr; j > 0 && steps_[j] > n1; j--) steps_[j + 1] = steps_[j]; steps_[j + 1] = n1; nr++ }
    if (nr > 0 || v("rooms", "max_rooms_met") != "n/a") {
        print ""
        printf "%-6s %8s %8s %9s %10s %9s %9s %8s %8s %8s  %s\n", "rooms", "p50 ms", "p99 ms", "rooms CPU", "ms/room/s", "load CPU", "machine", "PSS MB", "RSS MB", "stalled", "p99 <= " v("rooms", "p99_limit_ms") " ms"
        for (j = 1; j <= nr; j++) {
            s = "rooms-" steps_[j]
            if (v(s, "failed") != "n/a") { printf "%-6s %s\n", steps_[j], "did not start or seat (see the log)"; continue }
            printf "%-6s %8s %8s %9s %10s %9s %9s %8s %8s %8s  %s\n", steps_[j], fmt2(v(s, "latency_p50_ms")), fmt2(v(s, "latency_p99_ms")), fmt2(v(s, "rooms_cpu_cores")), fmt2(v(s, "cpu_ms_per_room_s")), fmt2(v(s, "load_cpu_cores")), fmt2(v(s, "machine_busy_cores")), fmt2(v(s, "pss_per_room_mb")), fmt2(v(s, "rss_per_room_mb")), v(s, "stalled"), v(s, "met") == 1 ? "yes" : "NO"
        }
        printf "%-6s CPU in cores (1.00 = one core busy); load = the generator; machine = all of it, of %s cores\n", "", v("rooms", "cores")
        m = v("rooms", "max_rooms_met")
        printf "%-34s %12s %12s %7s  %-10s %s\n", "rooms of 8 on this machine", m, "", "", ">= 500", m == "n/a" ? "?" : (m + 0 >= 500 ? "yes" : "NO")
    }
    while ((getline line < fuzzlog) > 0) {
        split(line, f, " "); t = f[2]; sub("seconds=", "", f[3]); sub("runs=", "", f[4])
        secs[t] += f[3]; runs[t] += f[4]
    }
    if (length(secs) > 0) {
        print ""
        printf "%-34s %12s %12s\n", "fuzzing (libFuzzer, ASan+UBSan)", "executions", "seconds"
        for (t in secs) printf "%-34s %12d %12d\n", t, runs[t], secs[t]
    }
}' "$results"
echo "ldd zbserverd, Qt libraries: $(ldd "$bin/zbserverd" | grep -o 'libQt6[A-Za-z]*' | sort -u | tr '\n' ' ')"
if [ ${#failed[@]} -gt 0 ]; then
    echo "run_all: FAILED: ${failed[*]} (logs in $logs)" >&2
    exit 1
fi
