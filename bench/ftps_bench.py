#!/usr/bin/python3
"""FTP over TLS: the suite's client beside curl and lftp, against one vsftpd demanding TLS, in one run.

vsftpd on 127.0.0.1 demands TLS for the login and every data connection and
that each data connection resume the control connection's session
(require_ssl_reuse=YES), with a certificate for 127.0.0.1 signed by a test
authority made for the run.

1. One file of --mib MiB (default 1024) is put and fetched by inet_put
   (tls=CA) and by curl --ssl-reqd --cacert CA, alternating who goes first,
   in passive mode (curl 7.88 fails active-mode TLS data connections: "sa_addr
   inet_ntop() failed"); every copy is compared with the original; best and
   median MB/s of --runs. Goal: at least curl's throughput.
2. 2,000 files of 1-4 KiB in 110 folders are uploaded by the walker (the
   entry set to "Encryption" 2, the server certificate trusted by its SHA-256
   fingerprint) and by lftp mirror -R with ftp:ssl-force and ssl:ca-file,
   whole processes, alternating; every upload is compared file by file with
   the tree; minimum and median of --runs, in active mode (the walker's).
   Goal: at most lftp's time.
"""
import argparse
import filecmp
import os
import statistics
import subprocess
import sys

from bench_common import (check_tree, files_of, min_median, random_file, ratios, set_aside, settle, small_site, timed,
                          vsftpd, work_folder)


def make_certificates(work):
    """A test authority and a certificate for 127.0.0.1 it signed, in work/tls; returns (folder, CA file,
    SHA-256 fingerprint of the server certificate as lower-case hex)."""
    d = os.path.join(work, "tls")
    os.mkdir(d)
    with open(os.path.join(d, "ext.cnf"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
    key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    for cmd in (["openssl", "req", "-x509"] + key + ["-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                                                     "-subj", "/CN=Parvex bench CA"],
                ["openssl", "req"] + key + ["-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"],
                ["openssl", "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                 "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "ext.cnf"]):
        subprocess.run(cmd, cwd=d, check=True, capture_output=True)
    out = subprocess.run(["openssl", "x509", "-in", "server.pem", "-noout", "-fingerprint", "-sha256"], cwd=d,
                         check=True, capture_output=True, text=True).stdout
    return d, os.path.join(d, "ca.pem"), out.split("=", 1)[1].strip().replace(":", "").lower()


def tls_config(certs):
    """vsftpd's lines that demand TLS with session reuse, with the certificate in certs."""
    return ("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
            f"require_ssl_reuse=YES\nssl_ciphers=HIGH\nrsa_cert_file={certs}/server.pem\n"
            f"rsa_private_key_file={certs}/server.key\n")


def big_file(args, pub, port, ca, work):
    """Puts and gets a file of --mib MiB with both tools; prints MB/s side by side."""
    src = os.path.join(work, "big.bin")
    size = random_file(src, args.mib)
    url = f"ftp://anonymous:@127.0.0.1:{port}/pub/"
    curl = ["curl", "-s", "-S", "--ssl-reqd", "--cacert", ca]
    down = os.path.join(work, "down.bin")
    inet = [args.inet_put, "127.0.0.1", port, "anonymous", ""]
    tools = {
        "parvex": {"put": inet + [src, "pub/up.bin", "passive", "tls=" + ca],
                   "get": inet + [down, "pub/big.bin", "passive", "get", "tls=" + ca]},
        "curl": {"put": curl + ["-T", src, url + "up.bin"], "get": curl + ["-o", down, url + "big.bin"]},
    }
    os.link(src, os.path.join(pub, "big.bin"))  # what both fetch
    times = {(tool, way): [] for tool in tools for way in ("put", "get")}
    for run in range(args.runs):
        for tool in (("parvex", "curl") if run % 2 == 0 else ("curl", "parvex")):
            for way, copy in (("put", os.path.join(pub, "up.bin")), ("get", down)):
                times[tool, way].append(timed(tools[tool][way], timeout=900)[0])
                if not filecmp.cmp(src, copy, shallow=False):
                    sys.exit(f"{tool} {way}: the copy differs from the original")
                os.remove(copy)
    print(f"{size >> 20} MiB over FTPS (TLS, session reuse demanded) to vsftpd on 127.0.0.1, passive mode, "
          f"{args.runs} runs each, every copy compared with the original: equal")
    rate = {k: (size / min(v) / 1e6, size / statistics.median(v) / 1e6) for k, v in times.items()}
    for way, label in (("put", "upload  "), ("get", "download")):
        p, c = rate["parvex", way], rate["curl", way]
        print(f"  {label}: parvex best {p[0]:6.0f} MB/s, median {p[1]:6.0f} MB/s | curl --ssl-reqd best {c[0]:6.0f}"
              f" MB/s, median {c[1]:6.0f} MB/s | parvex / curl {p[0] / c[0] * 100:3.0f} % at the best, "
              f"{p[1] / c[1] * 100:3.0f} % at the median   (goal: at least 100 %)")
    os.remove(os.path.join(pub, "big.bin"))
    os.remove(src)


def tree(args, pub, port, ca, fingerprint, work):
    """Uploads 2,000 small files with both tools; prints the times side by side."""
    site = os.path.join(work, "site")
    n = small_site(site)
    expected = files_of(site)
    cmds = {
        "parvex": [args.walker, "127.0.0.1", port, "anonymous", "", site, "root=pub", "tls=" + fingerprint],
        # lftp keeps anonymous logins in clear unless told otherwise.
        "lftp": ["lftp", "-p", port, "-e", "set ftp:ssl-force true; set ftp:ssl-allow-anonymous true; "
                 f"set ssl:ca-file {ca}; set ftp:passive-mode off; mirror -R --no-perms {site} pub/site; quit",
                 "127.0.0.1"],
    }
    times = {"parvex": [], "lftp": []}
    for run in range(args.runs):
        for tool in (("parvex", "lftp") if run % 2 == 0 else ("lftp", "parvex")):
            set_aside(os.path.join(pub, "site"), os.path.join(work, "old-remote"))
            settle()
            env = dict(os.environ, PARVEX_REGISTRY=os.path.join(work, f"reg{run}.db"))
            times[tool].append(timed(cmds[tool], env, timeout=900)[0])
            check_tree(tool, "upload", files_of(os.path.join(pub, "site")), expected)
    print(f"{n} files in 110 folders over FTPS to the same vsftpd, active mode, whole processes, {args.runs} runs, "
          "every upload compared file by file with the tree: equal")
    print(f"  parvex walker (Encryption 2):           {min_median(times['parvex'])}")
    print(f"  lftp mirror -R, ftp:ssl-force, ca-file: {min_median(times['lftp'])}")
    print(f"  parvex / lftp: {ratios(times['parvex'], times['lftp'])}   (goal: at most 1.00x)")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--inet-put", required=True)
    ap.add_argument("--walker", required=True)
    ap.add_argument("--mib", type=int, default=1024)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--only", choices=("big", "tree"), help="run one of the two parts")
    args = ap.parse_args()
    with work_folder("ftps-bench-") as work:
        certs, ca, fingerprint = make_certificates(work)
        with vsftpd(work, tls_config(certs)) as (pub, port):
            if args.only != "tree":
                big_file(args, pub, port, ca, work)
            if args.only != "big":
                tree(args, pub, port, ca, fingerprint, work)


if __name__ == "__main__":
    main()
