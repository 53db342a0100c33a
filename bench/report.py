"""Turns bench/run's raw measurements into the tables and the list of targets,
as Markdown so they can go into bench/RESULTS.md unchanged.

usage: report.py RESULTS.tsv SIZE_MIB FILES REPS LOAD RSS_SMALL_MIB RSS_LARGE_MIB
RESULTS.tsv rows: mode server test client wall_s user_s sys_s peak_rss_kib
"""
import collections
import statistics
import sys

RTT = 0.010  # the emulated link's round trip
RSS_LIMIT_MB = 20.0
CLIENTS = ("vollum", "curl", "lftp")


def main():
    path, size_mib, files, reps, load, rss_small, rss_large = sys.argv[1:8]
    size_mib, files = int(size_mib), int(files)
    runs = collections.defaultdict(list)
    for line in open(path):
        mode, server, test, client, wall, user, system, rss = line.split("\t")
        runs[(mode, server, test, client)].append((float(wall), float(user) + float(system), int(rss)))

    def median(key, column):
        values = [r[column] for r in runs.get(key, [])]
        return statistics.median(values) if values else None

    def peak_mb(key):
        values = [r[2] for r in runs.get(key, [])]
        return max(values) * 1024 / 1e6 if values else None

    modes = [m for m in ("loopback", "link") if any(k[0] == m for k in runs)]
    servers = [s for s in ("pyftpdlib", "vsftpd") if any(k[1] == s for k in runs)]
    names = {
        "upload": "upload %d MiB" % size_mib,
        "download": "download %d MiB" % size_mib,
        "tree": "%d × 4 KiB in 10 directories" % files,
    }
    where = {"loopback": "loopback", "link": "1 Gbit/s, 10 ms round trip"}

    print("Medians of %s run(s); time in seconds, lower is better. Load average at the end: %s.\n" % (reps, load))
    targets = []

    def target(text, numerator, denominator):
        ratio = numerator / denominator if denominator > 0 else float("inf")
        # Met as printed: a ratio shown as 1.00 is within what the medians can tell.
        targets.append((text, ratio, round(ratio, 2) <= 1.0))

    if any(k[2] == "ptree" for k in runs):
        Parallel(runs, median, modes, servers, where, files, target)
    if not any(k[2] != "ptree" for k in runs):
        Targets(targets)
        return
    print("| link | server | test | Vollum | curl | lftp | Vollum ÷ best |")
    print("|---|---|---|---|---|---|---|")
    for mode in modes:
        for server in servers:
            for test in ("upload", "download", "tree"):
                t = {c: median((mode, server, test, c), 0) for c in CLIENTS}
                if t["vollum"] is None:
                    continue
                best = min(v for c, v in t.items() if c != "vollum" and v is not None)
                cells = " | ".join("%.3f s" % t[c] if t[c] is not None else "-" for c in CLIENTS)
                print("| %s | %s | %s | %s | %.2f |" % (where[mode], server, names[test], cells, t["vollum"] / best))

    print("\nPeak RSS (MB, largest of the runs) and CPU time (user + sys, ms per MB) of the %d MiB upload:\n" % size_mib)
    print("| link | server | RSS Vollum | RSS curl | RSS lftp | CPU Vollum | CPU curl | CPU lftp |")
    print("|---|---|---|---|---|---|---|---|")
    mb = size_mib * 1.048576
    for mode in modes:
        for server in servers:
            key = lambda c: (mode, server, "upload", c)
            rss = " | ".join("%.1f" % peak_mb(key(c)) for c in CLIENTS)
            cpu = " | ".join("%.2f" % (median(key(c), 1) * 1000 / mb) for c in CLIENTS)
            print("| %s | %s | %s | %s |" % (where[mode], server, rss, cpu))

    for test in ("upload", "download") if "loopback" in modes else ():
        for server in servers:
            t = {c: median(("loopback", server, test, c), 0) for c in CLIENTS}
            best = min(t["curl"], t["lftp"])
            target("loopback %s %d MiB, %s: Vollum ÷ faster of curl and lftp" % (test, size_mib, server),
                   t["vollum"], best)
    for server in servers if "loopback" in modes else ():
        t = {c: median(("loopback", server, "tree", c), 0) for c in CLIENTS}
        target("loopback %d-file tree, %s: Vollum ÷ best peer" % (files, server),
               t["vollum"], min(t["curl"], t["lftp"]))
    if "link" in modes:
        for server in servers:
            v = median(("link", server, "tree", "vollum"), 0)
            c = median(("link", server, "tree", "curl"), 0)
            target("10 ms link %d-file tree, %s: Vollum ÷ curl (round trips per file: Vollum %.1f, curl %.1f)"
                   % (files, server, v / files / RTT, c / files / RTT), v, c)
    rss = [("%d MiB" % size_mib, max(peak_mb((m, s, "upload", "vollum")) for m in modes for s in servers))]
    for mib in (rss_small, rss_large):
        value = peak_mb(("rss", "pyftpdlib", "upload-%s" % mib, "vollum"))
        if value is not None:
            rss.append(("%s MiB" % mib, value))
    worst = max(v for _, v in rss)
    target("Vollum's peak RSS ≤ %.0f MB (%s): largest ÷ limit" % (RSS_LIMIT_MB, ", ".join(
        "%s: %.1f MB" % r for r in rss)), worst, RSS_LIMIT_MB)
    for mode in modes:
        for server in servers:
            v = median((mode, server, "upload", "vollum"), 1)
            c = median((mode, server, "upload", "curl"), 1)
            target("CPU time per uploaded MB, %s, %s: Vollum ÷ curl" % (where[mode], server), v, c)

    Targets(targets)


def Parallel(runs, median, modes, servers, where, files, target):
    """The tree over four connections, every client passive; Vollum as a drop and as a spool run."""
    clients = ("vollum4", "lftp4", "rclone4", "vollum", "spool4", "spool1")
    print("%d × 4 KiB in 10 directories over four connections (all passive; Vollum also with one, "
          "and as a spool run, which checks each file's SIZE before it deletes it):\n" % files)
    print("| link | server | Vollum ×4 | lftp -P 4 | rclone --transfers 4 | Vollum ×1 | spool ×4 | spool ×1 "
          "| ×4 ÷ best peer | ×4 ÷ ×1 | spool ×4 ÷ best peer | spool ×4 ÷ ×1 |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for mode in modes:
        for server in servers:
            t = {c: median((mode, server, "ptree", c), 0) for c in clients}
            if t["vollum4"] is None:
                continue
            best = min(v for c, v in t.items() if c in ("lftp4", "rclone4") and v is not None)
            cells = " | ".join("%.3f s" % t[c] if t[c] is not None else "-" for c in clients)
            ratio = lambda a, b: "%.2f" % (t[a] / t[b]) if t[a] and t[b] else "-"
            spool_best = "%.2f" % (t["spool4"] / best) if t["spool4"] else "-"
            print("| %s | %s | %s | %.2f | %s | %s | %s |" % (where[mode], server, cells, t["vollum4"] / best,
                                                          ratio("vollum4", "vollum"), spool_best,
                                                          ratio("spool4", "spool1")))
            for kind, four, one in (("drop", "vollum4", "vollum"), ("spool", "spool4", "spool1")):
                if t[four] is None or t[one] is None:
                    continue
                if mode == "link":
                    target("10 ms link %d-file tree, %s, %s run, 4 connections: Vollum ÷ best of lftp and rclone"
                           % (files, server, kind), t[four], best)
                    target("10 ms link %d-file tree, %s, %s run: Vollum with 4 ÷ (0.35 × Vollum with 1)"
                           % (files, server, kind), t[four], 0.35 * t[one])
                else:
                    target("loopback %d-file tree, %s, %s run: Vollum with 4 ÷ Vollum with 1" % (files, server, kind),
                           t[four], t[one])
    print()


def Targets(targets):
    print("\nTargets (ratio ≤ 1.00 is met):\n")
    for text, ratio, met in targets:
        print("- %s: %.2f, %s" % (text, ratio, "met" if met else "NOT met"))
    missed = sum(1 for _, _, met in targets if not met)
    print("\n%d of %d targets met." % (len(targets) - missed, len(targets)))


if __name__ == "__main__":
    main()
