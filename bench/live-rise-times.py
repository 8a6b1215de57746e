#!/usr/bin/env python3
"""How a live rise looks from the window, with no option: for each size,
the progress entries already printed when the window is mapped (each is 5 %
of the planes), and the seconds from the window mapped to "100%".

  DISPLAY=:N bench/live-rise-times.py [BUILD_DIR [PLANES [SUBDIVISIONS...]]]

Runs the program from a scratch folder on the X server named by DISPLAY,
seed 5; finds the window with xdotool and closes it with Esc once the rise
has ended. The window is mapped a little before its first frame, so the
entries then are a lower bound of the planes done before the first frame."""
import os, subprocess, sys, tempfile, threading, time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(root, "build")
planes = int(sys.argv[2]) if len(sys.argv) > 2 else 5000
sizes = [int(s) for s in sys.argv[3:]] or [4, 6, 7, 8, 9]


def window_id():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Orbivane$"], capture_output=True, text=True)
    return found.stdout.split()[0] if found.stdout.split() else None


def measure(subdivisions):
    out, lock = [], threading.Lock()
    with tempfile.TemporaryDirectory() as scratch:
        program = subprocess.Popen([os.path.join(build, "orbivane"), "--seed", "5"], cwd=scratch,
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        program.stdin.write(f"{subdivisions}\n{planes}\ny\n".encode())
        program.stdin.flush()

        def read():
            for chunk in iter(lambda: program.stdout.read1(4096), b""):
                with lock:
                    out.append(chunk)

        reader = threading.Thread(target=read)
        reader.start()
        text = lambda: (lock.acquire(), b"".join(out).decode(errors="replace"), lock.release())[1]
        window = None
        while not window:
            window = window_id()
        mapped = time.monotonic()
        at_map = text().count("%..  ")
        done_at_map = "100%\n" in text()
        while "100%\n" not in text():
            time.sleep(0.005)
        ended = time.monotonic()
        program.stdin.close()  # the end of input ends the program once its window is closed
        while program.poll() is None:
            subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Orbivane$", "key", "Escape"],
                           capture_output=True)
            time.sleep(0.2)
        # A key xdotool held when the window closed would repeat into the next one.
        subprocess.run(["xdotool", "keyup", "Escape"], capture_output=True)
        reader.join()
    rise = 0.0 if done_at_map else ended - mapped
    return at_map, done_at_map, rise


print(f"load average: {open('/proc/loadavg').read().split()[:3]}; {planes} planes, seed 5")
print("subdivisions | entries when mapped | over before the window | seconds from mapped to 100%")
for n in sizes:
    at_map, done, rise = measure(n)
    print(f"{n} | {at_map} of 19 | {'yes' if done else 'no'} | {rise:.2f}")
