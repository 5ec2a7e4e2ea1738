#!/usr/bin/python3
"""The plain walker beside lftp's mirror -R on a deep, narrow tree.

One folder nested LEVELS deep (500 by default: "d/d/d/...", short names so
that the deepest path stays well inside PATH_MAX), with one small file at
every level, is uploaded to a throwaway pyftpdlib server on 127.0.0.1 in
active mode by both as whole processes, alternating; every upload is compared
file by file with the tree, and the minimum and median are printed side by
side (lftp runs with --no-perms; a logged run of each on a 20-level tree
counts the commands each sent).
"""
import argparse
import os
import sys

from bench_common import (check_tree, describe_difference, files_of, min_median, pyftpd, ratios, set_aside, settle,
                          timed, transcript_difference, work_folder)


def deep_tree(tree, levels):
    """One folder nested `levels` deep below tree, with a small file "f" at every level."""
    folder = tree
    for _ in range(levels):
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "f"), "wb") as out:
            out.write(os.urandom(512))
        folder = os.path.join(folder, "d")


def upload(tool, walker, port, src):
    """The command line that uploads src into /NAME-OF-SRC with `tool`."""
    if tool == "parvex":
        return [walker, "127.0.0.1", port, "parvex", "secret", src]
    return ["lftp", "-u", "parvex,secret", "-p", port, "-e",
            f"set ftp:passive-mode off; mirror -R --no-perms {src} /{os.path.basename(src)}; quit", "127.0.0.1"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--walker", required=True)
    ap.add_argument("--levels", type=int, default=500)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--timeout", type=float, default=600, help="give up on one upload after this many seconds")
    args = ap.parse_args()
    with work_folder("deeptree-bench-") as work, pyftpd(work) as (root, port):
        tree = os.path.join(work, "tree")
        deep_tree(tree, args.levels)
        expected = files_of(tree)
        deepest = os.path.join("tree", *(["d"] * (args.levels - 1)), "f")
        if len(os.path.join(tree, deepest)) >= os.pathconf(work, "PC_PATH_MAX"):
            sys.exit("the tree's deepest path does not fit PATH_MAX: choose fewer levels")
        times = {"parvex": [], "lftp": []}
        for run in range(args.runs):
            for tool in (("parvex", "lftp") if run % 2 == 0 else ("lftp", "parvex")):
                set_aside(os.path.join(root, "tree"), os.path.join(work, "old-remote"))
                env = dict(os.environ, PARVEX_REGISTRY=os.path.join(work, f"reg{run}.db"))
                settle()
                t, _ = timed(upload(tool, args.walker, port, tree), env, timeout=args.timeout)
                check_tree(tool, "upload", files_of(os.path.join(root, "tree")), expected)
                times[tool].append(t)
        small = os.path.join(work, "small", "tree")
        deep_tree(small, 20)
        counts = transcript_difference(work, [(t, lambda p, _, t=t: upload(t, args.walker, p, small),
                                               lambda root: None) for t in ("parvex", "lftp")])
        print(f"{args.levels} nested folders with a file each to pyftpdlib on 127.0.0.1, active mode, "
              f"whole processes, {args.runs} runs")
        print(f"  parvex plain walker:       {min_median(times['parvex'])}")
        print(f"  lftp mirror -R --no-perms: {min_median(times['lftp'])}")
        print(f"  parvex / lftp: {ratios(times['parvex'], times['lftp'])}   (goal: within 2x)")
        print("  every upload compared file by file with the tree: equal")
        print("  commands on 20 nested folders: " + describe_difference("parvex", counts["parvex"], "lftp",
                                                                        counts["lftp"]))


if __name__ == "__main__":
    main()
