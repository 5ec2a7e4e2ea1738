#!/usr/bin/python3
"""Publishing a site again with "send changed files only" on, beside lftp's mirror -R --only-newer.

The site is 2,000 files of 1-4 KiB in 110 folders (bench_common.small_site;
--per-leaf makes it smaller for a quick check). On each server (pyftpdlib
whose every reply is held back by --delay, as over a link with that round
trip; plain pyftpdlib; vsftpd), all on 127.0.0.1 in active mode, whole
processes, alternating who goes first:
  - the full upload: the walker (option on, its own store) over one
    connection and over --connections, beside lftp mirror -R and
    mirror -R --parallel=4, each into a folder of its own;
  - the unchanged site again: the walker (over --connections, as a user who
    set the option runs it) beside mirror -R --only-newer; the server's log
    must show no STOR from the walker;
  - 20 files changed: the server's log must show exactly 20 STOR from the
    walker, and the server's copies of exactly those 20 files touched;
  - on the servers without delay, one folder nested --levels deep with a file
    at every level (bench/deeptree_bench.py), uploaded once and then unchanged.
Every upload is compared file by file with the tree. Minimum and median of
the runs are printed, each beside the peer's of the same run, with the goals.
"""
import argparse
import contextlib
import os
import random
import re
import statistics
import time

from bench_common import (check_tree, commands_received, files_of, min_median, pyftpd, ratios, set_aside, settle,
                          small_site, timed, vsftpd, work_folder)
from deeptree_bench import deep_tree

CHANGED = 20


class Server:
    """Where the uploads go: the folder on disk the login directory's `prefix` names, the port, the login,
    and the log of every command received."""

    def __init__(self, name, disk, port, user, password, prefix, log):
        self.name, self.disk, self.port, self.user, self.password, self.prefix, self.log = (
            name, disk, port, user, password, prefix, log)

    def target(self, who, site):
        """(folder on disk, path from the login directory) of `who`'s copy of the folder `site`."""
        os.makedirs(os.path.join(self.disk, who), mode=0o777, exist_ok=True)
        return os.path.join(self.disk, who, site), f"{self.prefix}{who}/{site}"

    def stored(self):
        """How many STOR the server received since the log was last emptied."""
        time.sleep(0.3)  # the server logs the last command after replying
        return commands_received(self.log)["STOR"]

    def forget(self):
        open(self.log, "w").close()


def parvex(args, server, src, store, who="p", connections=1):
    """The walker, option on, uploading src into the folder `who` with the store `store` over `connections`."""
    server.target(who, "")
    return ([args.walker, "127.0.0.1", server.port, server.user, server.password, src, f"root={server.prefix}{who}",
             "changed-only", f"connections={connections}"], dict(os.environ, PARVEX_REGISTRY=store))


def lftp(server, src, who, options):
    """lftp mirror -R with `options` from src into the folder `who`: in active mode like the walker, but with
    --parallel in passive mode (in active mode against pyftpdlib it stops before its last file and waits forever)."""
    login = ["-u", f"{server.user},{server.password}"] if server.password else []
    _, remote = server.target(who, os.path.basename(src))
    passive = "on" if "--parallel" in options else "off"
    return (["lftp"] + login + ["-p", server.port, "-e",
                                f"set ftp:passive-mode {passive}; mirror -R --no-perms {options} {src} {remote}; quit",
                                "127.0.0.1"], None)


def run_timed(server, cmd_env, timeout, out=None):
    """Runs one upload after the log was emptied; returns (seconds, STOR received, standard output)."""
    server.forget()
    settle()
    t, _ = timed(cmd_env[0], cmd_env[1], stdout_path=out, timeout=timeout)
    text = open(out, errors="replace").read().strip() if out else ""
    return t, server.stored(), text


def touched(folder):
    """Relative path -> change time (ns) of every file below folder: a STOR, or a time set, moves it."""
    out = {}
    for d, _, names in os.walk(folder):
        for n in names:
            p = os.path.join(d, n)
            out[os.path.relpath(p, folder)] = os.stat(p).st_ctime_ns
    return out


def change_files(tree, rng, n):
    """Rewrites n files of the tree picked at random with new bytes (half of them a different size), each with a
    modification time later than any before; returns their relative paths."""
    names = sorted(os.path.relpath(os.path.join(d, f), tree) for d, _, fs in os.walk(tree) for f in fs)
    picked = rng.sample(names, n)
    later = time.time() + 2
    for i, rel in enumerate(picked):
        p = os.path.join(tree, rel)
        size = os.path.getsize(p) + (i % 2) * 7
        with open(p, "wb") as f:
            f.write(os.urandom(size))
        os.utime(p, (later, later))
    return set(picked)


def goal(met, text):
    return f"(goal: {text}: {'met' if met else 'NOT MET'})"


def sent_count(status):
    m = re.search(r"(\d+) 個のファイルを転送しました", status)
    return int(m.group(1)) if m else -1


def site_rounds(args, server, work, runs, tree, expected):
    """The full upload, the unchanged site and 20 files changed on one server; prints the figures."""
    store = os.path.join(work, f"{server.name}-store.db")
    store1 = os.path.join(work, f"{server.name}-store1.db")
    out = os.path.join(work, "out.txt")
    full = {"parvex1": [], "parvex": [], "lftp": [], "lftp4": []}
    lftp_opts = {"lftp": ("l", ""), "lftp4": ("l4", "--parallel=4")}
    for run in range(runs):
        order = ["parvex1", "parvex", "lftp", "lftp4"]
        for tool in order[run % 4:] + order[:run % 4]:
            who = {"parvex1": "p1", "parvex": "p"}.get(tool) or lftp_opts[tool][0]
            disk, _ = server.target(who, "site")
            set_aside(disk, os.path.join(work, "old-remote"))
            if tool == "parvex1":
                cmd = parvex(args, server, tree, store1, who)
            elif tool == "parvex":
                cmd = parvex(args, server, tree, store, who, args.connections)
            else:
                cmd = lftp(server, tree, who, lftp_opts[tool][1])
            t, _, _ = run_timed(server, cmd, args.timeout, out)
            check_tree(tool, "upload", files_of(disk), expected)
            full[tool].append(t)
    same = {"parvex": [], "lftp": []}
    stor = {"parvex": [], "lftp": []}
    for run in range(runs):
        for tool in (("parvex", "lftp") if run % 2 == 0 else ("lftp", "parvex")):
            cmd = (parvex(args, server, tree, store, "p", args.connections) if tool == "parvex"
                   else lftp(server, tree, "l", "--only-newer"))
            t, n, status = run_timed(server, cmd, args.timeout, out)
            if tool == "parvex" and (n != 0 or sent_count(status) != 0):
                raise SystemExit(f"{server.name}: the unchanged site sent {n} files ({status})")
            same[tool].append(t)
            stor[tool].append(n)
    changed = {"parvex": [], "lftp": []}
    lftp_changed = []
    rng = random.Random(25)
    p_disk, _ = server.target("p", "site")
    for run in range(runs):
        picked = change_files(tree, rng, CHANGED)
        expected = files_of(tree)
        for tool in (("parvex", "lftp") if run % 2 == 0 else ("lftp", "parvex")):
            before = touched(p_disk)
            cmd = (parvex(args, server, tree, store, "p", args.connections) if tool == "parvex"
                   else lftp(server, tree, "l", "--only-newer"))
            t, n, status = run_timed(server, cmd, args.timeout, out)
            if tool == "parvex":
                after = touched(p_disk)
                moved = {k for k in after if before.get(k) != after[k]}
                if n != CHANGED or moved != picked or sent_count(status) != CHANGED:
                    raise SystemExit(f"{server.name}: {CHANGED} files changed, the server received {n} STOR and "
                                     f"{len(moved)} files were touched, {len(moved ^ picked)} of them not the "
                                     f"changed ones ({status})")
                check_tree(tool, "publish", files_of(p_disk), expected)
            else:
                lftp_changed.append(n)
            changed[tool].append(t)
    pf, pu, pc = full["parvex"], same["parvex"], changed["parvex"]
    p1 = full["parvex1"]
    share = statistics.median(pu) / statistics.median(pf)
    c = args.connections
    print(f"{server.name}: {len(expected):,} files in 110 folders, active mode, whole processes, {runs} runs; "
          f"the walker over {c} connections but where it says 1")
    print(f"  full upload, walker, 1 connection:       {min_median(p1)}")
    print(f"  full upload, lftp mirror -R:             {min_median(full['lftp'])}   walker 1 / lftp: "
          f"{ratios(p1, full['lftp'])}")
    print(f"  full upload, walker, {c} connections:       {min_median(pf)}")
    print(f"  full upload, lftp mirror -R --parallel=4 (passive): {min_median(full['lftp4'])}   walker {c} / lftp: "
          f"{ratios(pf, full['lftp4'])}")
    if args.delay > 0 and server.name.startswith("pyftpdlib, "):
        print("    " + goal(statistics.median(pf) <= statistics.median(full["lftp4"]),
                            "within 1.0x of --parallel=4, with 4 connections"))
    print(f"  unchanged, walker: {min_median(pu)}, no STOR (server's log); {share * 100:.1f} % of its full upload "
          + goal(share <= 0.10, "at most 10 %"))
    print(f"  unchanged, lftp mirror -R --only-newer: {min_median(same['lftp'])}, {max(stor['lftp'])} STOR   "
          f"walker / lftp: {ratios(pu, same['lftp'])} "
          + goal(statistics.median(pu) <= statistics.median(same["lftp"]), "at most 1.0x"))
    ratio = statistics.median(pc) / statistics.median(pu)
    print(f"  {CHANGED} changed, walker: {min_median(pc)}, exactly those {CHANGED} sent (server's log and the "
          f"server's files); {ratio:.2f}x the unchanged site " + goal(ratio <= 1.2, "within 1.2x"))
    print(f"  {CHANGED} changed, lftp mirror -R --only-newer: {min_median(changed['lftp'])}, "
          f"{max(lftp_changed)} STOR   walker / lftp: {ratios(pc, changed['lftp'])}")


def deep_rounds(args, server, work, runs, tree, expected):
    """A tree nested --levels deep: uploaded once by each, then published unchanged; prints the figures."""
    store = os.path.join(work, f"{server.name}-deep.db")
    for tool in ("parvex", "lftp"):
        cmd = (parvex(args, server, tree, store, "p", args.connections) if tool == "parvex"
               else lftp(server, tree, "l", ""))
        run_timed(server, cmd, args.timeout)
        check_tree(tool, "upload", files_of(server.target(tool[0], "tree")[0]), expected)
    same = {"parvex": [], "lftp": []}
    for run in range(runs):
        for tool in (("parvex", "lftp") if run % 2 == 0 else ("lftp", "parvex")):
            cmd = (parvex(args, server, tree, store, "p", args.connections) if tool == "parvex"
                   else lftp(server, tree, "l", "--only-newer"))
            t, n, _ = run_timed(server, cmd, args.timeout)
            if tool == "parvex" and n != 0:
                raise SystemExit(f"{server.name}: the unchanged deep tree sent {n} files")
            same[tool].append(t)
    r = statistics.median(same["parvex"]) / statistics.median(same["lftp"])
    print(f"  {args.levels} nested folders unchanged, walker: {min_median(same['parvex'])}, no STOR; lftp "
          f"--only-newer: {min_median(same['lftp'])}   walker / lftp: {ratios(same['parvex'], same['lftp'])} "
          + goal(r <= 2.0, "within 2x"))


@contextlib.contextmanager
def started(args, kind, work):
    """Starts the server `kind` (delayed, pyftpdlib or vsftpd); yields (server, runs) and stops it afterwards."""
    sub = os.path.join(work, kind)
    os.mkdir(sub)
    log = os.path.join(sub, "commands.log")
    if kind == "vsftpd":
        with vsftpd(sub, log=log) as (pub, port):
            yield Server("vsftpd", pub, port, "anonymous", "", "pub/", log), args.runs
    else:
        delay = args.delay / 1000 if kind == "delayed" else 0.0
        name = f"pyftpdlib, {args.delay:g} ms per reply" if delay else "pyftpdlib"
        with pyftpd(sub, log=log, delay=delay) as (root, port):
            yield Server(name, root, port, "parvex", "secret", "", log), args.delayed_runs if delay else args.runs


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--walker", required=True)
    ap.add_argument("--runs", type=int, default=3, help="runs on the servers without delay")
    ap.add_argument("--delayed-runs", type=int, default=1, help="runs on the delayed server")
    ap.add_argument("--delay", type=float, default=30, help="milliseconds each reply of the delayed server waits")
    ap.add_argument("--levels", type=int, default=500)
    ap.add_argument("--per-leaf", type=int, default=20, help="files in each of the site's 100 leaf folders")
    ap.add_argument("--connections", type=int, default=4, help="the walker's option of how many connections")
    ap.add_argument("--servers", default="delayed,pyftpdlib,vsftpd",
                    help="which servers, of delayed, pyftpdlib and vsftpd, comma-separated")
    ap.add_argument("--timeout", type=float, default=900, help="give up on one upload after this many seconds")
    args = ap.parse_args()
    began = time.monotonic()
    with work_folder("publish-bench-") as work:
        tree = os.path.join(work, "site")
        small_site(tree, args.per_leaf)
        deep = os.path.join(work, "tree")
        deep_tree(deep, args.levels)
        deep_expected = files_of(deep)
        for kind in args.servers.split(","):
            with started(args, kind, work) as (server, runs):
                site_rounds(args, server, work, runs, tree, files_of(tree))
                if kind != "delayed":
                    deep_rounds(args, server, work, runs, deep, deep_expected)
    print(f"the benchmark took {time.monotonic() - began:.0f} s")


if __name__ == "__main__":
    main()
