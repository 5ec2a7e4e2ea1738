#!/usr/bin/python3
"""The plain walker beside lftp's mirror -R on a tree of small files.

2,000 files of 1-4 KiB in 110 folders (10 folders of 10 subfolders, 20 files
in each of the 100 leaves) are uploaded to a throwaway pyftpdlib server on
127.0.0.1 in active mode by both, alternating, and the times are printed.
"""
import argparse
import os
import shutil
import sys

from bench_common import pyftpd, small_site, timed, work_folder


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--walker", required=True)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--inet-put", help="also put one 1 GiB file through the walker and through inet_put")
    args = ap.parse_args()
    with work_folder("walker-bench-") as work, pyftpd(work) as (root, port):
        tree = os.path.join(work, "site")
        n = small_site(tree)
        times = {"parvex": [], "lftp": []}
        for run in range(args.runs):
            for tool in (("parvex", "lftp") if run % 2 == 0 else ("lftp", "parvex")):
                shutil.rmtree(os.path.join(root, "site"), ignore_errors=True)
                if tool == "parvex":
                    env = dict(os.environ, PARVEX_REGISTRY=os.path.join(work, f"reg{run}.db"))
                    t, _ = timed([args.walker, "127.0.0.1", port, "parvex", "secret", tree], env)
                else:
                    t, _ = timed(["lftp", "-u", "parvex,secret", "-p", port, "-e",
                               f"set ftp:passive-mode off; mirror -R {tree} /site; quit", "127.0.0.1"])
                count = sum(len(f) for _, _, f in os.walk(os.path.join(root, "site")))
                if count != n:
                    sys.exit(f"{tool} uploaded {count} of {n} files")
                times[tool].append(t)
        ours, theirs = min(times["parvex"]), min(times["lftp"])
        print(f"{n} files in 110 folders to pyftpdlib on 127.0.0.1, active mode, best of {args.runs}")
        print(f"  parvex plain walker: {ours:6.2f} s")
        print(f"  lftp mirror -R:      {theirs:6.2f} s")
        print(f"  parvex / lftp: {ours / theirs:.2f}x   (goal: within 1.5x)")
        if args.inet_put:
            big_dir = os.path.join(work, "big")
            os.mkdir(big_dir)
            big = os.path.join(big_dir, "big.bin")
            with open(big, "wb") as f:
                block = os.urandom(1 << 20)
                for _ in range(1024):
                    f.write(block)
            walk, put = [], []
            for run in range(args.runs):
                for tool in (("walker", "put") if run % 2 == 0 else ("put", "walker")):
                    shutil.rmtree(os.path.join(root, "big"), ignore_errors=True)
                    for leftover in ("big.bin",):
                        if os.path.exists(os.path.join(root, leftover)):
                            os.remove(os.path.join(root, leftover))
                    if tool == "walker":
                        env = dict(os.environ, PARVEX_REGISTRY=os.path.join(work, f"big{run}.db"))
                        walk.append(timed([args.walker, "127.0.0.1", port, "parvex", "secret", big_dir], env)[0])
                    else:
                        put.append(timed([args.inet_put, "127.0.0.1", port, "parvex", "secret", big, "big.bin"])[0])
            w, p_ = 1024 * 1048576 / min(walk) / 1e6, 1024 * 1048576 / min(put) / 1e6
            print(f"1 GiB through the walker: {w:.0f} MB/s, through inet_put: {p_:.0f} MB/s: {w / p_ * 100:.0f} %"
                  "   (goal: at least 95 %)")


if __name__ == "__main__":
    main()
