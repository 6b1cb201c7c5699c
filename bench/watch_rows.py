"""The rows of what the window does on its own (skerrow_bench_watch's lines): the join that waits for a slot, a
buddy's alert from the program's own refresh, and how long the window went unanswered meanwhile."""
import os

from report_lines import read_lines

JOIN_TARGET_MS = 11000
STALL_TARGET_MS = 100
# The window looks at its timed work once a second of real time.
TICK_MS = 1000


def rows(work):
    """(rows, notes, raw lines) for bench/RESULTS.md."""
    path = os.path.join(work, "watch.txt")
    # The watch bench's scenario: 300 filler servers, the watched one and the buddy's (bench/watch_bench.cpp).
    joins, alerts = read_lines(path, "join"), read_lines(path, "alert")
    out, notes = [], []

    def verdict(ok):
        return "met" if ok else "**not met**"

    if not joins:
        out.append(("a slot that frees on a watched server, joined", "missing", "", f"≤ {JOIN_TARGET_MS / 1000:.0f} s",
                    "no result"))
    else:
        times = [float(j["join_ms"]) for j in joins]
        out.append((
            "a slot that frees on a watched server, joined (the worst moment: just after a watched query was "
            "answered)",
            f"{max(times) / 1000:.2f} s at most ({', '.join(f'{t / 1000:.2f}' for t in times)} s) from the slot "
            "freeing to the game started",
            f"a watched server is asked every {int(joins[0]['interval_ms']) / 1000:.0f} s, the runs' queries counted",
            f"≤ {JOIN_TARGET_MS / 1000:.0f} s with no reply lost",
            verdict(max(times) <= JOIN_TARGET_MS),
        ))
    if not alerts:
        out.append(("a buddy's alert after he appears", "missing", "", "within one refresh", "no result"))
    else:
        refresh = int(alerts[0]["refresh_ms"])
        speed = float(alerts[0]["clock_speed"])
        times = [float(x["alert_ms"]) for x in alerts]
        limit = refresh + TICK_MS * speed
        out.append((
            "a buddy's alert after he appears on a server, with \"Refresh every 5 minutes\"",
            f"{max(times) / 1000:.1f} s at most ({', '.join(f'{t / 1000:.1f}' for t in times)} s) on the program's "
            "clock; of that, the run to the alert took "
            + ", ".join(f"{float(x['run_to_alert_ms']):.0f}" for x in alerts) + " ms",
            f"the refresh interval {refresh / 1000:.0f} s; the window looks once a second (real time)",
            "within one refresh (its interval, the window's look and the run)",
            verdict(all(float(x["own_run_after_ms"]) <= limit for x in alerts)),
        ))
        notes.append(
            "watch: `skerrow_bench_watch` in-process, against the simulator's 302 servers (one watched, one a buddy comes to). "
            f"The alert's runs used a program clock {speed:.0f} times as fast as the real one, so that the "
            "5 minutes pass in 30 s; the run itself and the alert are timed in real time, and the window's once-a-"
            f"second look is {speed:.0f} s on that clock. The game it joins is a stand-in that ends at once. Text "
            f"shown: \"{alerts[0]['text']}\"."
        )
    stalls = [float(x["stall_max_ms"]) for x in joins + alerts]
    if stalls:
        out.append((
            "longest time the user interface thread does not answer while it watches, joins and alerts",
            f"{max(stalls):.1f} ms",
            f"over {sum(int(x['probes']) for x in joins + alerts)} reads of the status bar in "
            f"{len(joins) + len(alerts)} runs of the program",
            f"≤ {STALL_TARGET_MS} ms",
            verdict(max(stalls) <= STALL_TARGET_MS),
        ))
    raw = [("join", j) for j in joins] + [("alert", x) for x in alerts]
    return out, notes, raw
