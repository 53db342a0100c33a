"""Runs one command and writes "wall_s user_s sys_s peak_rss_kib" for it to
OUTFILE, with microsecond resolution (GNU time rounds CPU time to 10 ms).
Exits with the command's exit code.

usage: measure.py OUTFILE COMMAND [ARG...]
"""
import os
import sys
import time


def main():
    out, argv = sys.argv[1], sys.argv[2:]
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        try:
            os.execvp(argv[0], argv)
        finally:
            os._exit(127)
    _, status, usage = os.wait4(pid, 0)
    wall = time.monotonic() - start
    with open(out, "w") as f:
        f.write("%.6f %.6f %.6f %d\n" % (wall, usage.ru_utime, usage.ru_stime, usage.ru_maxrss))
    sys.exit(os.waitstatus_to_exitcode(status) if os.WIFEXITED(status) else 1)


if __name__ == "__main__":
    main()
