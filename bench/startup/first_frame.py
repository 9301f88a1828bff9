#!/usr/bin/env python3
"""Wall time from process start to the first frame of `zarn-mail --screenshot`.

Usage: bench/startup/first_frame.py BUILD_DIR [RUNS] [SCENE]
Runs the app RUNS times (default 15) headless and prints the median, minimum
and maximum milliseconds from exec to the first painted frame, and to exit.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def main() -> int:
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    scene = sys.argv[3] if len(sys.argv) > 3 else None
    exe = os.path.join(build, "apps", "mail", "zarn-mail")
    first, total = [], []
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, ZARN_UI_TRACE_FIRST_FRAME="1", XDG_CONFIG_HOME=tmp,
                   XDG_DATA_HOME=tmp, QT_QPA_PLATFORM="offscreen")
        env.pop("DISPLAY", None)
        args = [exe, "--screenshot", os.path.join(tmp, "out.png")]
        if scene:
            args[1:1] = ["--scene", scene]
        for _ in range(runs):
            start = time.time_ns()
            done = subprocess.run(args, env=env, capture_output=True, text=True, check=True)
            end = time.time_ns()
            stamp = [l for l in done.stderr.splitlines() if l.startswith("first-frame-realtime-ns")]
            first.append((int(stamp[0].split()[1]) - start) / 1e6)
            total.append((end - start) / 1e6)
    print(f"runs={runs} scene={scene or 'live start'}")
    print(f"first frame ms: median {statistics.median(first):.1f} "
          f"min {min(first):.1f} max {max(first):.1f}")
    print(f"process ms:     median {statistics.median(total):.1f} "
          f"min {min(total):.1f} max {max(total):.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
