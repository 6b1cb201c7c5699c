#!/usr/bin/env python3
"""Writes a list of servers shaped like a real one for scripts/bench: COUNT servers on 127.0.0.1 from port 27910 that
answer after 20 to 400 ms, of which 15 % are listed but dead (two thirds never answer, one third draw a
port-unreachable, as a host without the game does) and 3 % lose their first query. The same seed gives the same list.
Writes FILE.scn (the simulator's scenario), FILE.list (qstat's host file) and FILE.kinds (address, kind, delay: one
line a server; kind is answers, lossy or dead).
Usage: realistic_scenario.py COUNT FILE"""
import random
import sys

FIRST_PORT = 27910
DEAD_SHARE = 0.15
LOSSY_SHARE = 0.03
NAMES = ["Alice", "Bob", "Carol Space", "dave", "[EU] Eve", "frag^master", "Gonzo", "h4x", "Ivy", "Jo"]
MAPS = ["q2dm1", "q2dm2", "q2dm3", "q2dm8", "q2ctf1", "q2ctf5", "base1", "fact3"]
MODS = [("", "baseq2"), ("", "baseq2"), ("ctf", "ctf"), ("action", "action"), ("", "baseq2"), ("arena", "arena")]


def main():
    count, base = int(sys.argv[1]), sys.argv[2]
    rng = random.Random(2026)
    indices = list(range(count))
    rng.shuffle(indices)
    dead = set(indices[:round(count * DEAD_SHARE)])
    lossy = set(indices[len(dead):len(dead) + round(count * LOSSY_SHARE)])
    with open(base + ".scn", "w") as scenario, open(base + ".list", "w") as hosts, \
            open(base + ".kinds", "w") as kinds:
        for i in range(count):
            address = f"127.0.0.1:{FIRST_PORT + i}"
            delay = rng.randint(20, 400)
            mod, game = rng.choice(MODS)
            maxclients = rng.choice([8, 12, 16, 16, 24, 32])
            scenario.write(f"[server]\naddress = {address}\nhostname = \"Realistic {i}\"\nmod = {mod}\n"
                           f"gamename = {game}\nmapname = {rng.choice(MAPS)}\nmaxclients = {maxclients}\n"
                           f"delay_ms = {delay}\n")
            for player in range(rng.choice([0, 0, 1, 3, 5, 8])):
                scenario.write(f"player = {rng.randint(-2, 40)} {rng.randint(15, 250)} "
                               f"\"{rng.choice(NAMES)} {player}\"\n")
            kind = "answers"
            if i in dead:
                kind = "dead"
                scenario.write("down = 1\n" if rng.random() < 1 / 3 else "silent = 1\n")
            elif i in lossy:
                kind = "lossy"
                scenario.write("answer_from = 2\n")
            hosts.write(address + "\n")
            kinds.write(f"{address} {kind} {delay}\n")


if __name__ == "__main__":
    main()
