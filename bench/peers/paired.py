#!/usr/bin/env python3
"""Times whole commands in turn, round after round on the same machine, so
that a drift of the machine's speed touches all of them alike.

    paired.py ROUNDS NAME=COMMAND [NAME=COMMAND ...]

One round that is not counted comes first. Each round runs the commands in
an order of its own, drawn with a fixed seed: what one command leaves
behind (a long run, files written) then falls on each of the others in
turn, not always on the same one. For each command it prints the
median wall time, CPU time (user + system) and peak resident memory of its
process; for every command after the first, the median over the rounds of
its wall time divided by the first command's in the same round. The
system part of the CPU time is shown apart. A peak
below the launching Python's own (about 11 MiB) reads as that floor: the
process counts it from before it starts the command."""
import os
import random
import shlex
import shutil
import statistics
import sys
import time


def run(argv):
    """Runs one command, output discarded; wall s, CPU s, peak MiB, system s."""
    program = shutil.which(argv[0]) or argv[0]
    actions = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
               (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)]
    start = time.perf_counter()
    pid = os.posix_spawn(program, argv, os.environ, file_actions=actions)
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit(f"failed (status {status}): {shlex.join(argv)}")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024, usage.ru_stime


def main():
    rounds = int(sys.argv[1])
    commands = [arg.split("=", 1) for arg in sys.argv[2:]]
    figures = {name: [] for name, _ in commands}
    order = random.Random(1)
    for counted in [False] + [True] * rounds:
        for name, command in order.sample(commands, len(commands)):
            figure = run(shlex.split(command))
            if counted:
                figures[name].append(figure)
    first = commands[0][0]
    width = max(len(name) for name, _ in commands)
    print(f"{'':{width}}  wall s   CPU s  (system)  peak MiB  {first} is faster by (wall, median of rounds)")
    for name, _ in commands:
        walls = [f[0] for f in figures[name]]
        line = (f"{name:{width}}  {statistics.median(walls):6.3f}  "
                f"{statistics.median(f[1] for f in figures[name]):6.3f}  "
                f"({statistics.median(f[3] for f in figures[name]):6.3f})  "
                f"{statistics.median(f[2] for f in figures[name]):8.1f}")
        if name != first:
            ratios = [theirs[0] / ours[0] for theirs, ours in zip(figures[name], figures[first])]
            line += f"  {statistics.median(ratios):.2f} x (rounds {min(ratios):.2f} to {max(ratios):.2f})"
        print(line)


if __name__ == "__main__":
    main()
