#!/usr/bin/python3
"""CPU use of the output thread while a song plays: runs
`quandrix-xmrender --play SONG` (the intro's own device, worker and ring) for
SECONDS and reads the AudioWorker thread's user and system time from /proc.
Prints the worker's share of one core, and the whole process's for context
(which includes SDL's own audio thread copying the ring).

Usage: bench/audio_worker_cpu.py --xmrender PATH [--seconds 30] [--driver dummy] SONG.xm...
"""

import argparse
import os
import subprocess
import time

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(stat_path):
    with open(stat_path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def worker_task(pid):
    for tid in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/comm" % (pid, tid)) as f:
            if f.read().strip() == "AudioWorker":
                return tid
    return None


def measure(xmrender, song, seconds, driver):
    env = dict(os.environ, SDL_AUDIODRIVER=driver)
    proc = subprocess.Popen([xmrender, "--play", song], env=env, stdin=subprocess.PIPE,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    tid = None
    for _ in range(200):
        tid = worker_task(proc.pid)
        if tid:
            break
        time.sleep(0.01)
    if not tid:
        proc.kill()
        raise SystemExit("no AudioWorker thread appeared")
    worker_stat = "/proc/%d/task/%s/stat" % (proc.pid, tid)
    process_stat = "/proc/%d/stat" % proc.pid
    worker0, process0, wall0 = cpu_seconds(worker_stat), cpu_seconds(process_stat), time.monotonic()
    time.sleep(seconds)
    worker1, process1, wall1 = cpu_seconds(worker_stat), cpu_seconds(process_stat), time.monotonic()
    proc.communicate(b"\n", timeout=20)
    wall = wall1 - wall0
    return 100 * (worker1 - worker0) / wall, 100 * (process1 - process0) / wall


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--xmrender", required=True)
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--driver", default="dummy", help="SDL_AUDIODRIVER for the run")
    parser.add_argument("songs", nargs="+")
    args = parser.parse_args()
    print("%-28s %14s %14s   (%.0f s each, SDL_AUDIODRIVER=%s, clock tick %.0f ms)"
          % ("song", "worker %core", "process %core", args.seconds, args.driver, 1000 / TICKS))
    for song in args.songs:
        worker, process = measure(args.xmrender, song, args.seconds, args.driver)
        print("%-28s %14.2f %14.2f" % (os.path.basename(song), worker, process))


if __name__ == "__main__":
    main()
