#!/usr/bin/env python3
"""Every package and map figure in one run, each as a ratio against plain tools doing the same
file work in the same run. Started by bench/run-all.sh, which builds the programs first.

Each timed step is preceded by `sync`, and each step is taken RUNS times with Veldrin and its
floor alternating which goes first; the figure is the median. Veldrin's installs are durable
when they return, so each floor is the same file work done by plain tools followed by one
`sync`, timed with it. Peak memory is the child's maximum resident set as the kernel reports it
(getrusage through wait4, the figure /usr/bin/time -v prints)."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1024 * 1024


def run(argv, env=None, stdout=None):
    """Seconds and peak resident KiB of one child; raises when it fails."""
    out = open(stdout, "wb") if stdout else subprocess.DEVNULL
    start = time.monotonic()
    proc = subprocess.Popen(argv, env=env, stdout=out, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.monotonic() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if stdout:
        out.close()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        raise RuntimeError(f"{' '.join(argv[:3])} ... exited {code}: {err.strip()[:400]}")
    return seconds, usage.ru_maxrss


def synced(result):
    """A floor's (seconds, peak) with the time of one sync added: what it wrote is then on disk,
    as what Veldrin wrote is when it returns."""
    start = time.monotonic()
    os.sync()
    return result[0] + time.monotonic() - start, result[1]


def timed(steps):
    """Runs the (setup, action) pairs after a sync each; returns the seconds of each action."""
    results = []
    for setup, action in steps:
        if setup:
            setup()
        os.sync()
        results.append(action())
    return results


class Package:
    def __init__(self, args, mb, root):
        self.args, self.mb = args, mb
        self.work = tempfile.mkdtemp(prefix=f"veldrin-bench-{mb}-", dir=root)
        self.src = os.path.join(self.work, "src")
        os.makedirs(self.src)
        subprocess.run([args.gen, self.src, str(args.files), str(mb * MIB)], check=True)
        self.files = sorted(os.path.join(self.src, n) for n in os.listdir(self.src))
        self.largest = max(os.path.getsize(f) for f in self.files)
        self.prefix = os.path.join(self.work, "prefix")
        self.c = os.path.join(self.prefix, "drive_c")
        self.env = dict(os.environ, WINEPREFIX=self.prefix)
        self.pkg = os.path.join(self.work, "p.brx")
        self.floor = os.path.join(self.work, "floor")
        self.trash = os.path.join(self.work, "trash")
        os.makedirs(self.trash)
        os.makedirs(self.c)
        for start in range(0, len(self.files), 2000):  # the same warm cache for both
            subprocess.run(["cat"] + self.files[start:start + 2000], stdout=subprocess.DEVNULL, check=True)

    def discard(self, tree):
        """Sets a finished tree aside, to be deleted after the figures are taken. Thousands of
        files deleted a moment before a timed step would make that step pay for it: some file
        systems (ext4 without a journal) look past every recently freed slot on each create."""
        if os.path.exists(tree):
            os.rename(tree, os.path.join(self.trash, str(len(os.listdir(self.trash)))))

    def tool(self, *argv, stdout=None):
        return run([self.args.tool, *argv], env=self.env, stdout=stdout)

    # ---- create --------------------------------------------------------------------------
    def create(self):
        pairs = [f"{f}=C:\\Game\\Data\\{os.path.basename(f)}" for f in self.files]
        return self.tool("create", self.pkg, *pairs)

    def cat(self):
        return synced(run(["cat"] + self.files, stdout=os.path.join(self.work, "all")))

    # ---- install -------------------------------------------------------------------------
    def fresh_game(self):
        self.discard(os.path.join(self.c, "Game"))
        self.discard(os.path.join(self.c, "Veldrin"))
        os.makedirs(os.path.join(self.c, "Game", "Data"))
        os.makedirs(os.path.join(self.c, "Veldrin", "Backup", "brx"))
        # History is on: installs keep the bytes they replace.
        os.makedirs(os.path.join(self.c, "Veldrin", "Backup", "history"))

    def install(self):
        result = self.tool("install", self.pkg, "--program-folder", os.path.join(self.c, "Veldrin"),
                           "--game-folder", os.path.join(self.c, "Game"))
        installed = len(os.listdir(os.path.join(self.c, "Game", "Data")))
        if installed != len(self.files):
            raise RuntimeError(f"install wrote {installed} files, expected {len(self.files)}")
        return result

    def fresh_floor(self):
        self.discard(self.floor)
        for d in ("game", "backup", "history", "aside-game", "aside-backup"):
            os.makedirs(os.path.join(self.floor, d))

    def cp_into(self, *folders):
        total = sum(run(["cp"] + self.files + [os.path.join(self.floor, d)])[0] for d in folders)
        return synced((total, 0))

    def cp_thrice(self):
        # A first install writes each file three times: into the game, its backup copy, and
        # the history's own copy of what was written (so the add-on can come back without its
        # package). A reinstall finds that copy already kept.
        return self.cp_into("game", "backup", "history")

    def cp_twice(self):
        return self.cp_into("game", "backup")

    def mv_then_cp_twice(self):
        # Every file the install replaces, game file and backup copy, is kept by a move first.
        total = 0
        for d in ("game", "backup"):
            folder = os.path.join(self.floor, d)
            old = [os.path.join(folder, n) for n in os.listdir(folder)]
            total += run(["mv"] + old + [os.path.join(self.floor, "aside-" + d)])[0]
        return total + self.cp_twice()[0], 0  # cp_twice ends with the one sync

    def cleanup(self):
        shutil.rmtree(self.work, ignore_errors=True)


def measure(args, mb, root):
    p = Package(args, mb, root)
    try:
        rows = {k: ([], []) for k in ("create", "install", "reinstall")}
        memory = {}
        for i in range(args.runs):
            ours_first = i % 2 == 0

            def pair(name, ours, floor, ours_setup=None, floor_setup=None):
                steps = [(ours_setup, ours), (floor_setup, floor)]
                got = timed(steps if ours_first else steps[::-1])
                if not ours_first:
                    got.reverse()
                (o, orss), (f, _) = got
                rows[name][0].append(o)
                rows[name][1].append(f)
                memory[name] = max(memory.get(name, 0), orss)

            pair("create", p.create, p.cat,
                 ours_setup=lambda: os.path.exists(p.pkg) and os.remove(p.pkg))
            pair("install", p.install, p.cp_thrice, ours_setup=p.fresh_game, floor_setup=p.fresh_floor)
            pair("reinstall", p.install, p.mv_then_cp_twice)
        memory["install"] = max(memory["install"], memory.pop("reinstall"))
        for command in ("verify", "list"):
            memory[command] = p.tool(command, p.pkg, stdout=os.path.join(p.work, command + ".out"))[1]
        return rows, memory, p.largest, os.path.getsize(p.pkg)
    finally:
        p.cleanup()


def entry_memory(args, count, root):
    """Peak resident memory of installing a package of COUNT small entries (the same bytes in
    all, so only the count differs)."""
    sub = argparse.Namespace(**vars(args))
    sub.files = count
    p = Package(sub, args.count_mb, root)
    try:
        # A package is its entries one after another: built in parts that fit a command line.
        parts = []
        for start in range(0, len(p.files), 2000):
            part = os.path.join(p.work, f"part{len(parts)}.brx")
            pairs = [f"{f}=C:\\Game\\Data\\{os.path.basename(f)}" for f in p.files[start:start + 2000]]
            p.tool("create", part, *pairs)
            parts.append(part)
        with open(p.pkg, "wb") as whole:
            for part in parts:
                with open(part, "rb") as f:
                    shutil.copyfileobj(f, whole)
                os.remove(part)
        p.fresh_game()
        return p.install()[1]
    finally:
        p.cleanup()


def map_figures(args, root):
    work = tempfile.mkdtemp(prefix="veldrin-bench-map-", dir=root)
    try:
        c = os.path.join(work, "prefix", "drive_c")
        os.makedirs(os.path.join(c, "Game", "Scripts", "Playgrounds"))
        words = [b"CREATURE", b"TOWN", b"villager", b"=", b"1250.0", b"MAP", b"START_GAME_MESSAGE", b"tribe"]
        line = b" ".join(words[(i * 7) % 8] for i in range(12)) + b"\r\n"
        text = line * (10 * MIB // len(line) + 1)
        with open(os.path.join(c, "island.txt"), "wb") as f:
            f.write(text[:10 * MIB])
        env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"), QT_QPA_PLATFORM="offscreen")
        out = subprocess.run([args.map_bench, os.path.join(c, "island.txt"), str(args.runs)], env=env, check=True,
                             capture_output=True, text=True).stdout
        return {k: float(v) for k, v in (line.split() for line in out.splitlines())}
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--gen", required=True)
    ap.add_argument("--map-bench", required=True)
    ap.add_argument("--size", type=int, default=100)
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--huge", action="store_true")
    ap.add_argument("--counts", default="4000,40000", help="entry counts of the flat-memory figure")
    ap.add_argument("--count-mb", type=int, default=40, help="size of the packages of the flat-memory figure")
    ap.add_argument("--no-map", action="store_true", help="leave out the map window's figures")
    ap.add_argument("--work", default=None, help="folder for the throw-away trees (default: the temp folder)")
    args = ap.parse_args()

    sizes = sorted({10, args.size} | ({1024} if args.huge else set()))
    print(f"packages of {args.files} files, median of {args.runs} paired runs, sync before each timed step")
    print(f"{'MB':>5} {'step':<10} {'veldrin s':>10} {'floor s':>9} {'ratio':>6} {'target':>6} {'ms/MB':>7}  floor")
    floors = {"create": "cat of every file into one + sync", "install": "cp into game, backups and history + sync",
              "reinstall": "mv old files aside + the two cp + sync"}
    targets = {"create": 1.3, "install": 1.3, "reinstall": 1.5}
    verdicts = []
    memory_rows = []
    for mb in sizes:
        rows, memory, largest, pkg_size = measure(args, mb, args.work)
        for step in ("create", "install", "reinstall"):
            ours, floor = statistics.median(rows[step][0]), statistics.median(rows[step][1])
            ratio = ours / floor if floor > 0 else float("inf")
            ok = ratio <= targets[step]
            if mb == args.size:
                verdicts.append((f"{step} {mb} MB", ratio, targets[step], ok))
            print(f"{mb:>5} {step:<10} {ours:>10.3f} {floor:>9.3f} {ratio:>6.2f} {targets[step]:>6.1f} "
                  f"{ours * 1000 / mb:>7.1f}  {floors[step]}")
        memory_rows.append((mb, memory, largest, pkg_size))

    print()
    print(f"{'MB':>5} {'package':>9} {'largest':>8}  peak MiB: {'create':>7} {'install':>8} {'verify':>7} {'list':>6}  limit")
    for mb, memory, largest, pkg_size in memory_rows:
        limit = 64 + largest / MIB
        peaks = [memory[k] / 1024 for k in ("create", "install", "verify", "list")]
        print(f"{mb:>5} {pkg_size / MIB:>8.1f}M {largest / MIB:>7.2f}M  {'':>9} "
              + " ".join(f"{v:>7.1f}" for v in peaks) + f"  {limit:.1f}")
        verdicts.append((f"peak memory {mb} MB (MiB over limit)", max(peaks) - limit, 0, max(peaks) <= limit))

    counts = [int(c) for c in args.counts.split(",") if c]
    if len(counts) >= 2:
        print()
        peaks = {c: entry_memory(args, c, args.work) / 1024 for c in counts}
        print(f"install of {args.count_mb} MB in N entries, peak MiB: "
              + "  ".join(f"{c} entries {peaks[c]:.1f}" for c in counts))
        growth = peaks[counts[-1]] / peaks[counts[0]]
        # Flat: ten times the entries may cost a quarter more memory, not ten times as much.
        verdicts.append((f"memory {counts[-1]} / {counts[0]} entries", growth, 1.25, growth <= 1.25))

    if args.no_map:
        return report(verdicts)
    m = map_figures(args, args.work)
    load = m["map_load_frmMap"] / m["map_load_bare"]
    inst = m["map_install"] / m["map_cp"]
    print()
    print(f"map 10 MB  load frmMap {m['map_load_frmMap']:.3f} s  bare QPlainTextEdit {m['map_load_bare']:.3f} s"
          f"  ratio {load:.2f} (target 1.2)")
    print(f"map 10 MB  install {m['map_install']:.3f} s  cp {m['map_cp']:.3f} s  ratio {inst:.2f} (target 1.5)"
          f"  [cp + sync of the copy {m['map_cp_sync']:.3f} s: ratio {m['map_install'] / m['map_cp_sync']:.2f}]")
    verdicts += [("map load", load, 1.2, load <= 1.2), ("map install", inst, 1.5, inst <= 1.5)]

    return report(verdicts)


def report(verdicts):
    print()
    for name, value, target, ok in verdicts:
        print(f"{'met    ' if ok else 'NOT MET'} {name}: {value:.2f} (target {target})")
    return 0 if all(ok for *_, ok in verdicts) else 1


if __name__ == "__main__":
    sys.exit(main())
