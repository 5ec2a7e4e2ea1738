#!/usr/bin/python3
"""Brovin's upload and download walks beside lftp's mirror -R and mirror on a tree of small files.

2,000 files of 1-4 KiB in 110 folders (10 folders of 10 subfolders, 20 files
in each of the 100 leaves) go up to a throwaway pyftpdlib server on 127.0.0.1
through the browser's upload walk (the same code a drop on the list runs) and
through `lftp mirror -R`, then come back down through its download walk and
`lftp mirror`, all in active mode, alternating who goes first; each copy is
checked file by file and the best of --runs rounds are printed side by side
(the best, because a shared machine's load comes and goes).
"""
import argparse
import os
import shutil
import sys

from bench_common import pyftpd, small_site, timed, work_folder


def files_of(top):
    """Relative path -> size of every file below top."""
    out = {}
    for folder, _, names in os.walk(top):
        for n in names:
            p = os.path.join(folder, n)
            out[os.path.relpath(p, top)] = os.path.getsize(p)
    return out


def check(tool, what, got, expected):
    """Exits naming the first files that differ when `got` is not the tree as it is."""
    if got != expected:
        wrong = sorted(k for k in set(got) | set(expected) if got.get(k) != expected.get(k))
        sys.exit(f"{tool} did not {what} the tree as it is: {len(wrong)} files differ, such as "
                 + ", ".join(f"{k} ({got.get(k)} bytes, not {expected.get(k)})" for k in wrong[:5]))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--run", required=True, help="the browser_tree_run program")
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    with work_folder("browser-tree-bench-") as work, pyftpd(work) as (root, port):
        tree = os.path.join(work, "site")
        n = small_site(tree)
        expected = files_of(tree)
        lftp = ["lftp", "-u", "parvex,secret", "-p", port]
        up = {"parvex": [], "lftp": []}
        down = {"parvex": [], "lftp": []}
        for run in range(args.runs):
            order = ("parvex", "lftp") if run % 2 == 0 else ("lftp", "parvex")
            for tool in order:
                shutil.rmtree(os.path.join(root, "site"), ignore_errors=True)
                if tool == "parvex":
                    env = dict(os.environ, PARVEX_REGISTRY=os.path.join(work, f"up{run}.db"))
                    t, _ = timed([args.run, "127.0.0.1", port, "parvex", "secret", "up", tree], env, timeout=600)
                else:
                    t, _ = timed(lftp + ["-e", f"set ftp:passive-mode off; mirror -R {tree} /site; quit",
                                         "127.0.0.1"], timeout=600)
                check(tool, "upload", files_of(os.path.join(root, "site")), expected)
                up[tool].append(t)
            for tool in order:
                dl = os.path.join(work, "dl")
                shutil.rmtree(dl, ignore_errors=True)
                os.mkdir(dl)
                if tool == "parvex":
                    env = dict(os.environ, PARVEX_REGISTRY=os.path.join(work, f"down{run}.db"))
                    t, _ = timed([args.run, "127.0.0.1", port, "parvex", "secret", "down", "site", dl], env,
                                 timeout=600)
                else:
                    t, _ = timed(lftp + ["-e", f"set ftp:passive-mode off; mirror /site {dl}/site; quit",
                                         "127.0.0.1"], timeout=600)
                check(tool, "download", files_of(os.path.join(dl, "site")), expected)
                down[tool].append(t)
        print(f"{n} files in 110 folders, pyftpdlib on 127.0.0.1, active mode, best of {args.runs}")
        print(f"  brovin upload walk:   {min(up['parvex']):6.2f} s   lftp mirror -R: {min(up['lftp']):6.2f} s   "
              f"brovin / lftp: {min(up['parvex']) / min(up['lftp']):.2f}x   (goal: within 1.5x)")
        print(f"  brovin download walk: {min(down['parvex']):6.2f} s   lftp mirror:    {min(down['lftp']):6.2f} s   "
              f"brovin / lftp: {min(down['parvex']) / min(down['lftp']):.2f}x   (goal: within 1.5x)")


if __name__ == "__main__":
    main()
