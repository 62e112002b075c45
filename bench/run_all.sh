#!/usr/bin/env bash
# Builds the server (Release) and the benchmark tools, runs every benchmark
# and prints one table. Never part of the test run.
#   bench/run_all.sh [--quick]
# Builds go to build-bench/ (or $ZB_BENCH_DIR); raw results to build-bench/results.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${ZB_BENCH_DIR:-$root/build-bench}
quick=${1:-}
lock=/tmp/zb-build.lock

cmake -S "$root" -B "$out/main" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZB_BUILD_TESTS=OFF >/dev/null
flock "$lock" cmake --build "$out/main" -j2 --target zbserver zbserverd zbdata zblobby >/dev/null
cmake -S "$root/bench" -B "$out/tools" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
flock "$lock" cmake --build "$out/tools" -j2 >/dev/null

# The measurement holds the build lock too: a build on the other core would
# move every figure.
exec 9>"$lock"
flock 9

work=$(mktemp -d /tmp/zbbench.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$out/main/bin/default.dat" "$work/"
results=$out/results.txt
{
    "$out/tools/zbload" --zbserver "$out/main/bin/zbserver" --bare "$out/tools/barerelay" \
        --data-dir "$work" --work-dir "$work" --nagle --preload-nodelay "$out/tools/libnodelay_preload.so" $quick
    "$out/tools/replaybench" $([ "$quick" = --quick ] && echo 20 || echo 200)
    "$out/tools/clientmem" "$out/main/bin/zbserver" "$work" $([ "$quick" = --quick ] && echo 200 || echo 1000)
    "$out/tools/servermem" --data-dir "$work" --work-dir "$work" --env ZB_NO_ROUTER_SEARCH=1 --env ZB_BENCH_STROKE_BUDGET_KIB=2097151 $([ "$quick" = --quick ] && echo "--runs 1 --strokes 200") \
        zbserverd="$out/main/bin/zbserverd" zbserver-headless="$out/main/bin/zbserver" qtrelay="$out/tools/qtrelay,raw"
    "$out/tools/lobbyload" --zblobby "$out/main/bin/zblobby" --work-dir "$work" $quick
} 2> >(grep -v XDG_RUNTIME_DIR >&2) | grep '^RESULT' >"$results"

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
function fmt(x) { return x == "n/a" ? x : (x + 0 == int(x + 0) ? sprintf("%d", x) : sprintf("%.2f", x)) }
function check(rat, op, lim) {
    if (rat == "n/a") return "?"
    return (op == ">=" ? rat + 0 >= lim : rat + 0 <= lim) ? "yes" : "NO"
}
{ r[$2, $3] = $4 }
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
echo "ldd zbserverd, Qt libraries: $(ldd "$out/main/bin/zbserverd" | grep -o 'libQt6[A-Za-z]*' | sort -u | tr '\n' ' ')"
