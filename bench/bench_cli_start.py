#!/usr/bin/env python3
"""talvek-cli start-up: time from starting the process to the first byte it
sends on the port, and the process's peak memory.

    bench/bench_cli_start.py build/app/talvek-cli [runs]

The port is a pseudo-terminal that never answers, reached as COM7 through an
alias in a temporary data folder; the command is a read at 19200 baud, which
starts by asking the unit query. The settings' power-on settle (5 s by
default, a wait for the sensor, not our overhead) is set to 0. Each run is killed once the first byte came
(its peak memory is then what start-up and the first exchange took)."""
import os
import pty
import re
import select
import statistics
import subprocess
import sys
import tempfile
import time


def settings_without_settle(cli):
    folder = os.path.dirname(os.path.abspath(cli))
    with open(os.path.join(folder, "TalvekDefaultSettings.tsf"), encoding="utf-8") as defaults:
        text = defaults.read()
    return re.sub(r"<GSpowerOnDelay>\d+</GSpowerOnDelay>", "<GSpowerOnDelay>0</GSpowerOnDelay>", text)


def one_run(cli):
    with tempfile.TemporaryDirectory() as data:
        with open(os.path.join(data, "TalvekLastSettings.tsf"), "w", encoding="utf-8") as settings:
            settings.write(settings_without_settle(cli))
        master, slave = pty.openpty()
        os.makedirs(os.path.join(data, "ports"))
        os.symlink(os.ttyname(slave), os.path.join(data, "ports", "COM7"))
        env = dict(os.environ, TALVEK_DATA_DIR=data)
        env.pop("DISPLAY", None)
        start = time.monotonic()
        process = subprocess.Popen(
            [cli, "read", "--port", "COM7", "--baud", "19200", "-o", os.path.join(data, "x.tcf")],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ready, _, _ = select.select([master], [], [], 30)
        first_byte = time.monotonic() - start if ready else float("nan")
        with open(f"/proc/{process.pid}/status") as status:
            peak = next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))
        process.kill()
        process.wait()
        os.close(master)
        os.close(slave)
        return first_byte, peak


def main():
    cli = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    results = [one_run(cli) for _ in range(runs)]
    times = [r[0] * 1000 for r in results]
    peaks = [r[1] / 1024 for r in results]
    print(f"{cli}: first byte on the port after {statistics.median(times):.0f} ms "
          f"(median of {runs}; min {min(times):.0f}, max {max(times):.0f}); "
          f"peak memory {statistics.median(peaks):.1f} MiB")


if __name__ == "__main__":
    main()
