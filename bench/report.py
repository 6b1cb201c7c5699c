#!/usr/bin/env python3
"""Turns the raw output of scripts/bench (skerrow_bench lines, qstat output and wall times, the delay scenarios)
into bench/RESULTS.md: the machine, one table of measured against target, and the raw numbers."""
import argparse
import datetime
import os
import statistics


def fields(line):
    """key=value pairs of one line; a quoted value may hold spaces."""
    line = line.strip()
    out, rest = {}, line.split(" ", 1)[1] if " " in line else ""
    while rest:
        key, _, rest = rest.partition("=")
        if rest.startswith('"'):
            value, _, rest = rest[1:].partition('"')
            rest = rest.lstrip()
        else:
            value, _, rest = rest.partition(" ")
        out[key.strip()] = value
    return out


def read_lines(path, kind):
    if not os.path.exists(path):
        return []
    return [fields(line) for line in open(path, encoding="utf-8", errors="replace") if line.startswith(kind + " ")]


def percentile(values, fraction):
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * (len(ordered) - 1) + 0.5))]


def error_stats(errors):
    magnitudes = [abs(e) for e in errors]
    return {
        "n": len(errors),
        "median": percentile(magnitudes, 0.5),
        "p95": percentile(magnitudes, 0.95),
        "max": max(magnitudes) if magnitudes else float("nan"),
        "mean_signed": statistics.mean(errors) if errors else float("nan"),
    }


def stats_text(s):
    return f"median {s['median']:.0f}, p95 {s['p95']:.0f}, max {s['max']:.0f} ms (n={s['n']})"


def delays(path):
    table = {}
    for line in open(path):
        address, delay = line.split()
        table[address] = int(delay)
    return table


def qstat_pings(path):
    """address -> ping of every server qstat reports as answering (raw, tab-separated)."""
    pings = {}
    for line in open(path, encoding="utf-8", errors="replace"):
        parts = line.rstrip("\n").split("\t")
        if len(parts) >= 8 and parts[0] == "Q2S":
            try:
                pings[parts[1]] = int(parts[-2])
            except ValueError:
                pass
    return pings


def paced_log(work):
    """The simulator's view of the paced run (its last run): per server, when the query came in and how long the
    server took to answer, in ms from the first query. None when the log lines were not recorded."""
    try:
        start = int(open(os.path.join(work, "paced.log-start")).read())
        end = int(open(os.path.join(work, "paced.log-end")).read())
        lines = open(os.path.join(work, "simulator.log")).read().splitlines()[start:end]
    except (OSError, ValueError):
        return None
    last_list = max(i for i, line in enumerate(lines) if "target=/?" in line)
    queries, replies = {}, {}
    for line in lines[last_list:]:
        f = fields(line.split(" ", 1)[1])  # after the timestamp
        kind = line.split()[1]
        if kind == "query" and f.get("action") == "replied":
            queries.setdefault(f["server"], int(line.split()[0]))
        elif kind == "reply":
            replies.setdefault(f["server"], int(line.split()[0]))
    if not queries:
        return None
    first = min(queries.values())
    return [((queries[s] - first) / 1000, (replies[s] - queries[s]) / 1000) for s in queries if s in replies]


def main():
    parser = argparse.ArgumentParser()
    for name in ("work", "out", "cpu", "cores", "ram", "os", "wine", "qstat", "commit", "load", "load-after"):
        parser.add_argument("--" + name, required=True)
    for name in ("full", "small", "paced-rate", "quiet-rate"):
        parser.add_argument("--" + name, type=int, required=True)
    a = parser.parse_args()

    runs = read_lines(os.path.join(a.work, "skerrow.txt"), "run")
    pings = read_lines(os.path.join(a.work, "skerrow.txt"), "ping")
    memory = read_lines(os.path.join(a.work, "skerrow.txt"), "memory")
    qstat = {q["label"]: q for q in read_lines(os.path.join(a.work, "qstat.txt"), "qstat")}

    def runs_of(label, measured_only=True):
        return [r for r in runs if r["label"] == label and (int(r["index"]) > 0 or not measured_only)]

    def qstat_answered(label):
        return len(qstat_pings(os.path.join(a.work, f"qstat-{label}.txt")))

    rows, notes = [], []

    def verdict(ok):
        return "met" if ok else "**not met**"

    # 1. Full refreshes, unpaced, against qstat at its fastest.
    def refresh_row(name, label, qstat_labels, count):
        measured = runs_of(label)
        if not measured or not all(l in qstat for l in qstat_labels):
            rows.append((name, "missing", "", "≥10× faster than qstat", "no result"))
            return
        skerrow_ms = statistics.median(float(r["query_ms"]) for r in measured)
        qstat_ms = statistics.median(float(qstat[l]["wall_ms"]) for l in qstat_labels)
        answered = ", ".join(f"{r['answered']}/{r['servers']}" for r in measured)
        q_answered = ", ".join(f"{qstat_answered(l)}/{count}" for l in qstat_labels)
        ratio = qstat_ms / skerrow_ms
        rows.append((
            name,
            f"Skerrow {skerrow_ms / 1000:.2f} s (answered {answered})",
            f"qstat {qstat_ms / 1000:.2f} s (answered {q_answered}); Skerrow is {ratio:.2f}× qstat's speed",
            "≥10×",
            verdict(ratio >= 10),
        ))

    refresh_row(f"Full refresh, {a.full} servers, unpaced", "full", ["full"], a.full)
    refresh_row(f"Full refresh, {a.small} servers, unpaced (median of 3)", "small",
                ["small-1", "small-2", "small-3"], a.small)

    # 2. Paced refresh against the ideal: the last reply cannot come before query i went out at i / pps and its
    # round trip (the record's ping) passed, so the ideal is max over i of i * 1000 / pps + ping_i.
    paced = runs_of("paced")
    paced_pings = [p for p in pings if p["label"] == "paced"]
    seen = paced_log(a.work)
    if paced and paced_pings and seen:
        interval = 1000 / a.paced_rate
        # Query i ideally goes out at i / pps; the server then takes its own time (from the simulator's log).
        order = sorted(seen)
        ideal = max(i * interval + delay for i, (_, delay) in enumerate(order))
        simple = (len(order) - 1) * interval + order[-1][1]
        measured = float(paced[0]["from_first_query_ms"])
        sim_span = max(at + delay for at, delay in order)
        deviation = (measured - ideal) / ideal * 100
        rows.append((
            f"Paced refresh, {len(paced_pings)} servers at {a.paced_rate}/s",
            f"{measured:.0f} ms from the first query to \"Completed\"",
            f"ideal {ideal:.0f} ms (max over i of i/pps + server i's reply delay; (N−1)/pps + last server's: "
            f"{simple:.0f} ms); {deviation:+.2f} %",
            "within 2 %",
            verdict(abs(deviation) <= 2),
        ))
        gaps = [order[i + 1][0] - order[i][0] for i in range(len(order) - 1)]
        notes.append(f"paced: the simulator saw the queries {statistics.mean(gaps):.2f} ms apart on average "
                     f"(median {statistics.median(gaps):.2f}, max {max(gaps):.1f} ms; the interval is "
                     f"{interval:.0f} ms), the last reply {sim_span:.0f} ms after the first query.")

    # 3. Ping accuracy against the simulator's known reply delays.
    for label, what in (("ping-quiet", f"one at a time ({a.quiet_rate}/s)"), ("ping-busy", "unpaced, all at once")):
        table = delays(os.path.join(a.work, label.replace("ping-", "") + ".scn.delays"))
        ours = [int(p["ping"]) - table[p["server"]] for p in pings if p["label"] == label and p["answered"] == "1"
                and p["server"] in table]
        q_path = os.path.join(a.work, f"qstat-{label}.txt")
        theirs = [ping - table[address] for address, ping in qstat_pings(q_path).items()
                  if address in table] if os.path.exists(q_path) else []
        if not ours:
            rows.append((f"Ping error, {len(table)} servers, {what}", "missing", "", "p95 ≤ 2 ms", "no result"))
            continue
        s, q = error_stats(ours), error_stats(theirs)
        rows.append((
            f"Ping error (ping − delay, absolute), {len(table)} servers (delays 0/20/50/150 ms), {what}",
            "Skerrow " + stats_text(s),
            "qstat " + stats_text(q) if theirs else "qstat: no result",
            "p95 ≤ 2 ms",
            verdict(s["p95"] <= 2),
        ))
        by_delay = {}
        for p in pings:
            if p["label"] == label and p["answered"] == "1" and p["server"] in table:
                by_delay.setdefault(table[p["server"]], []).append(int(p["ping"]) - table[p["server"]])
        notes.append(f"{label}: Skerrow's error by reply delay: " + "; ".join(
            f"{d} ms: {stats_text(error_stats(e))}" for d, e in sorted(by_delay.items())) + ".")
        notes.append(f"{label}: mean signed error Skerrow {s['mean_signed']:+.2f} ms, qstat {q['mean_signed']:+.2f} ms.")

    # 4. Responsiveness and 5. memory, in the large unpaced run.
    full_runs = runs_of("full")
    if full_runs:
        r = full_runs[-1]
        rows.append((
            f"UI thread stall, {a.full}-server unpaced run",
            f"longest SendMessage(WM_NULL) {float(r['stall_max_ms']):.1f} ms",
            f"p99 {float(r['stall_p99_ms']):.1f} ms, median {float(r['stall_median_ms']):.2f} ms, "
            f"{r['probes']} probes"
            + (f"; the longest began {float(r['stall_max_at_ms']):.0f} ms after Update was clicked"
               if "stall_max_at_ms" in r else ""),
            "≤ 100 ms",
            verdict(float(r["stall_max_ms"]) <= 100),
        ))
    full_memory = [m for m in memory if m["label"] == "full" and m["when"] == "end"]
    if full_memory:
        m = full_memory[0]
        before = [b for b in memory if b["label"] == "full" and b["when"] == "before-window"]
        peak = int(m["peak_working_set"])
        rows.append((
            f"Peak memory, {a.full} servers",
            f"peak working set {peak / 1e6:.1f} MB ({peak / 2**20:.1f} MiB)",
            f"peak pagefile usage (commit) {int(m['peak_pagefile']) / 1e6:.1f} MB; before the window "
            f"{int(before[0]['working_set']) / 1e6:.1f} MB working set" if before else "",
            "≤ 100 MB",
            verdict(peak <= 100e6),
        ))

    # Where the user interface thread's time went (paint time is wall time inside WM_PAINT on that thread).
    costs = []
    for label in ("full", "small", "small-minimized", "paced", "ping-busy"):
        for r in runs_of(label)[-1:]:
            servers = int(r["servers"])
            costs.append(
                f"{label} (run {r['index']}, {servers} servers, {float(r['query_ms']) / 1000:.1f} s): user interface "
                f"thread CPU {int(r['ui_cpu_ms']) / 1000:.1f} s; {r['list_paints']} server list paints taking "
                f"{float(r['list_paint_ms']) / 1000:.1f} s; {r['bar_paints']} status bar paints taking "
                f"{float(r['bar_paint_ms']) / 1000:.1f} s ({int(r['bar_paints']) / servers:.1f} per server)")

    with open(a.out, "w") as out:
        out.write("# Benchmark results\n\n")
        out.write(f"Written by `scripts/bench` on {datetime.date.today().isoformat()}, program at {a.commit}.\n\n")
        out.write("## Machine\n\n")
        out.write(f"- CPU: {a.cpu}, {a.cores} cores\n- RAM: {a.ram}\n- OS: {a.os}\n- Wine: {a.wine} (Xvfb)\n")
        out.write(f"- qstat: {a.qstat}\n- Load average (1, 5, 15 min): {a.load} before, {a.load_after} after "
                  "(the machine is shared; other work may have been running)\n\n")
        out.write("## Measured against target\n\n")
        out.write("| benchmark | Skerrow | comparison | target | verdict |\n|---|---|---|---|---|\n")
        for row in rows:
            out.write("| " + " | ".join(row) + " |\n")
        out.write("\nTimes are the query phase as the status line shows it: from \"Querying servers...\" to "
                  "\"Completed. N of M servers responded.\", stamped with QueryPerformanceCounter on the user "
                  "interface thread; qstat's is its process's wall time. Unpaced: Packets Per Second 100000.\n")
        for note in notes:
            out.write(f"\n- {note}")
        if costs:
            out.write("\n\n## Where the user interface thread's time went\n\n")
            out.write("".join(f"- {c}.\n" for c in costs))
        out.write("\n\n## Raw numbers\n\n```\n")
        for r in runs:
            out.write("run " + " ".join(f"{k}={v}" for k, v in r.items()) + "\n")
        for m in memory:
            out.write("memory " + " ".join(f"{k}={v}" for k, v in m.items()) + "\n")
        for q in qstat.values():
            out.write("qstat " + " ".join(f"{k}={v}" for k, v in q.items()) + "\n")
        out.write("```\n\nRun 0 of each label is the start-up run (cold); the table uses the runs after it. "
                  "`small-minimized` runs with the window minimized: no painting, for comparison only.\n")


if __name__ == "__main__":
    main()
