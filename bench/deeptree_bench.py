#!/usr/bin/python3
"""The plain walker beside lftp's mirror -R on a deep, narrow tree.

One folder nested LEVELS deep (500 by default: "d/d/d/...", short names so
that the deepest path stays well inside PATH_MAX), with one small file at
every level, is uploaded to a throwaway pyftpdlib server on 127.0.0.1 in
active mode by both, alternating; the best times are printed side by side.
"""
import argparse
import os
import shutil
import sys

from bench_common import pyftpd, timed, work_folder


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--walker", required=True)
    ap.add_argument("--levels", type=int, default=500)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--timeout", type=float, default=600, help="give up on one upload after this many seconds")
    args = ap.parse_args()
    with work_folder("deeptree-bench-") as work, pyftpd(work) as (root, port):
        tree = os.path.join(work, "tree")
        folder = tree
        for level in range(args.levels):
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "f"), "wb") as out:
                out.write(os.urandom(512))
            folder = os.path.join(folder, "d")
        deepest = os.path.join("tree", *(["d"] * (args.levels - 1)), "f")
        if len(os.path.join(tree, deepest)) >= os.pathconf(work, "PC_PATH_MAX"):
            sys.exit("the tree's deepest path does not fit PATH_MAX: choose fewer levels")
        times = {"parvex": [], "lftp": []}
        for run in range(args.runs):
            for tool in (("parvex", "lftp") if run % 2 == 0 else ("lftp", "parvex")):
                shutil.rmtree(os.path.join(root, "tree"), ignore_errors=True)
                if tool == "parvex":
                    env = dict(os.environ, PARVEX_REGISTRY=os.path.join(work, f"reg{run}.db"))
                    t, _ = timed([args.walker, "127.0.0.1", port, "parvex", "secret", tree], env,
                                 timeout=args.timeout)
                else:
                    t, _ = timed(["lftp", "-u", "parvex,secret", "-p", port, "-e",
                                  f"set ftp:passive-mode off; mirror -R {tree} /tree; quit", "127.0.0.1"],
                                 timeout=args.timeout)
                count = sum(len(f) for _, _, f in os.walk(os.path.join(root, "tree")))
                if count != args.levels or not os.path.isfile(os.path.join(root, deepest)):
                    sys.exit(f"{tool} uploaded {count} of {args.levels} files")
                times[tool].append(t)
        ours, theirs = min(times["parvex"]), min(times["lftp"])
        print(f"{args.levels} nested folders with a file each to pyftpdlib on 127.0.0.1, active mode, "
              f"best of {args.runs}")
        print(f"  parvex plain walker: {ours:6.2f} s")
        print(f"  lftp mirror -R:      {theirs:6.2f} s")
        print(f"  parvex / lftp: {ours / theirs:.2f}x   (goal: within 2x)")


if __name__ == "__main__":
    main()
