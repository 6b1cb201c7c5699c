"""The rows of bench/RESULTS.md for a list shaped like a real one (bench/realistic_scenario.py): a first start as a
player meets it beside qstat with its own defaults, and the rates a first start could take, from which its rate is
chosen. Times come from the simulator's log (each run between its marks): when the first query came in, and when the
servers' replies went out."""
import math
import os
import statistics

from report_lines import error_stats, fields, qstat_pings, stats_text


def verdict(ok):
    return "met" if ok else "**not met**"


def marked_lines(work, label):
    try:
        start = int(open(os.path.join(work, f"{label}.log-start")).read())
        end = int(open(os.path.join(work, f"{label}.log-end")).read())
        return open(os.path.join(work, "simulator.log")).read().splitlines()[start:end]
    except (OSError, ValueError):
        return []


def answer_times(work, label):
    """Seconds from the first query of the run to each server's first reply, in order."""
    first_query, replies = None, {}
    for line in marked_lines(work, label):
        parts = line.split()
        if len(parts) < 3:
            continue
        if parts[1] == "query" and first_query is None:
            first_query = int(parts[0])
        elif parts[1] == "reply":
            replies.setdefault(fields(line.split(" ", 1)[1])["server"], int(parts[0]))
    if first_query is None:
        return []
    return sorted((t - first_query) / 1e6 for t in replies.values())


def time_to_share(times, share=0.95):
    if not times:
        return float("nan")
    return times[max(0, math.ceil(share * len(times)) - 1)]


def kinds(work):
    table = {}
    for line in open(os.path.join(work, "real.kinds")):
        address, kind, delay = line.split()
        table[address] = (kind, int(delay))
    return table


def rows(a, runs, pings, qstat):
    """(rows, notes) for the realistic list; nothing when it was not measured."""
    if not os.path.exists(os.path.join(a.work, "real.kinds")):
        return [], []
    table = kinds(a.work)
    answering = sum(kind != "dead" for kind, _ in table.values())

    def errors(label):
        return [int(p["ping"]) - table[p["server"]][1] for p in pings if p["label"] == label
                and p["answered"] == "1" and table.get(p["server"], ("dead", 0))[0] == "answers"]

    def skerrow(label_base):
        """Per repetition: time to 95 % answered, time to the end, answered; and the ping errors of them all."""
        measured, errs = [], []
        for rep in range(1, a.real_reps + 1):
            label = f"{label_base}-{rep}"
            run = [r for r in runs if r["label"] == label and r["index"] == "0"]
            if not run:
                continue
            times = answer_times(a.work, label)
            measured.append((time_to_share(times), float(run[0]["total_ms"]) / 1000, int(run[0]["answered"]),
                             int(run[0]["pps"])))
            errs += errors(label)
        return measured, errs

    out_rows, notes = [], []
    first, first_errors = skerrow("real-first")
    theirs, their_errors = [], []
    for rep in range(1, a.real_reps + 1):
        label = f"real-qstat-{rep}"
        if label not in qstat:
            continue
        answered = qstat_pings(os.path.join(a.work, f"qstat-{label}.txt"))
        theirs.append((time_to_share(answer_times(a.work, label)), float(qstat[label]["wall_ms"]) / 1000,
                       len(answered)))
        their_errors += [ping - table[address][1] for address, ping in answered.items()
                         if table.get(address, ("dead", 0))[0] == "answers"]
    name = (f"{a.real} servers shaped like real ones (replies after 20–400 ms, 15 % listed but dead, 3 % losing "
            "their first query): a first start of a release")
    if not first:
        out_rows.append((name, "missing", "", "", "no result"))
        return out_rows, notes
    t95 = statistics.median(m[0] for m in first)
    end = statistics.median(m[1] for m in first)
    s = error_stats(first_errors)
    ours = (f"95 % of those that answer answered {t95:.2f} s after the first query, \"Completed\" {end:.2f} s after "
            f"the window opened (medians of {len(first)}: " + ", ".join(f"{m[0]:.2f}/{m[1]:.2f} s, {m[2]} answered"
                                                                         for m in first)
            + f"); ping error {stats_text(s)}; rate {first[0][3]}, LAN searched")
    compared, ok_end = "qstat: no result", False
    if theirs:
        q95 = statistics.median(m[0] for m in theirs)
        qend = statistics.median(m[1] for m in theirs)
        ok_end = end <= qend
        compared = (f"qstat, its defaults: 95 % answered {q95:.2f} s after its first query, exit {qend:.2f} s "
                    f"(medians of {len(theirs)}; answered " + ", ".join(str(m[2]) for m in theirs)
                    + f" of {answering}); ping error {stats_text(error_stats(their_errors))}")
    out_rows.append((name, ours, compared, "95 % answered ≤ 1 s; the end no later than qstat's; ping error p95 ≤ 5 ms",
                     verdict(t95 <= 1.0 and ok_end and s["p95"] <= 5)))

    # The rates a first start could take, on the same servers: the highest paced one (1000 a second at the most) whose
    # ping error p95 stays within 5 ms is the release's. Unpaced is shown beside them, but a first start keeps to a
    # pace: a burst of every query at once is what loopback cannot judge for a player's line (its router's queue, an
    # upstream of a few Mbit/s), and the rate is the one thing a player never chose.
    sweep, best = [], None
    for rate in (int(r) for r in a.real_rates.split()):
        measured, errs = skerrow(f"real-pps{rate}")
        if not measured or not errs:
            continue
        p95 = error_stats(errs)["p95"]
        sweep.append(f"{rate}/s: ping error p95 {p95:.0f} ms, 95 % answered {statistics.median(m[0] for m in measured):.2f} s, "
                     f"end {statistics.median(m[1] for m in measured):.2f} s")
        if p95 <= 5 and rate <= 1000:
            best = rate
    if sweep:
        same = best is not None and best == a.release_rate
        out_rows.append((f"the same {a.real} servers at each rate a first start could take (medians of {a.real_reps})",
                         "; ".join(sweep),
                         f"the highest paced rate (at most 1000/s) with ping error p95 ≤ 5 ms: "
                         f"{best if best is not None else 'none'} (above 1000: unpaced, the in-flight window alone "
                         "paces; shown, not chosen)",
                         f"the release's first-start rate ({a.release_rate}) is that rate",
                         verdict(same)))
        notes.append("real: the release's first start is the bench build's: no rate stored (the preset's "
                     f"SKERROW_DEFAULT_PACKETS_PER_SECOND, {a.release_rate}), \"Master Servers\" the list URL "
                     "http://127.0.0.1/?raw=2 (as a release's q2servers.com list), the LAN searched on a LAN of the "
                     "bench's own with nothing on it. Its time runs from the window's creation; the 95 % times, "
                     "Skerrow's and qstat's alike, from the first query the simulator saw to the reply that made 95 % "
                     "of the servers that answered in that run. Ping errors count the servers that answer their first "
                     "query; a server that answers only a second query shows the time from that query in Skerrow, "
                     "from the first in qstat. Each run met the servers afresh (the simulator restarted).")
    return out_rows, notes
