"""Reading what scripts/bench wrote: key=value lines, the delay tables, qstat's raw output, the simulator's log of a
run, and the statistics the report states."""
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


def logged_runs(work, label):
    """The simulator's view of each run between the label's marks: per run (one master list request each), the
    query and reply times of every server (first of each) and how many queries came in, in µs of its clock."""
    try:
        start = int(open(os.path.join(work, f"{label}.log-start")).read())
        end = int(open(os.path.join(work, f"{label}.log-end")).read())
        lines = open(os.path.join(work, "simulator.log")).read().splitlines()[start:end]
    except (OSError, ValueError):
        return []
    runs = []
    for line in lines:
        parts = line.split()
        if len(parts) < 2:
            continue
        kind, f = parts[1], fields(line.split(" ", 1)[1])
        if kind == "http" and f.get("target", "").startswith("/?"):
            runs.append({"http": int(parts[0]), "queries": {}, "replies": {}, "count": 0})
        elif runs and kind == "query":
            runs[-1]["count"] += 1
            runs[-1]["queries"].setdefault(f["server"], int(parts[0]))
        elif runs and kind == "reply":
            runs[-1]["replies"].setdefault(f["server"], int(parts[0]))
    return runs
