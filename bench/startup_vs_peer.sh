#!/usr/bin/env bash
# Times the real program started with camera pictures from its launch, beside
# a peer process (bench/StartupPeer.cpp) that starts Qt, shows a window and
# adds the same files as the program does (same scale, priority and thread
# count). Both run on an X server of their own (Xvfb), each start with a
# fresh private home; the sides take turns, each round starting with the
# other side. Per side, the median of the rounds:
#   window_s  launch until its main window is mapped (the X server's
#             MapNotify, seen by a client that watches the root window)
#   all_s     launch until every artwork is in: the moment the process's
#             threads last ran before a quiet second
#   cpu_s     CPU (user + system) of the process and its children by then
# in two rows: 1 core (both sides pinned to one processor with taskset) and
# all cores (nothing pinned).
# Usage: bench/startup_vs_peer.sh [--count N] [--rounds N] [BUILD-FOLDER]
#   (default: 30 pictures, 3 rounds, ./build configured with
#   -DVELMORA_BUILD_BENCH=ON and built; needs Xvfb and python3-xlib)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
count=30 rounds=3 build=$here/build
while (($#)); do
  case $1 in
    --count) count=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    *) build=$1 ;;
  esac
  shift
done
program=$build/app/velmora-voravev
peer=$build/bench/tools/startup_peer
settings=$build/bench/bin/startup_bench
for f in "$program" "$peer" "$settings"; do
  [[ -x $f ]] || { echo "not built: $f" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos" "$work/registry"
"$peer" --write-photos "$work/photos" "$count"
"$settings" --quiet-settings "$work/registry"

/usr/bin/python3 - "$work" "$rounds" "$program" "$peer" <<'PY'
import os, shutil, signal, statistics, subprocess, sys, threading, time
from Xlib import X, display

work, rounds, program, peer = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
photos = sorted(os.path.join(work, "photos", f) for f in os.listdir(os.path.join(work, "photos")))
QUIET = 1.0      # seconds without CPU that end a start
DEADLINE = 120

# An X server of our own: -displayfd tells the display it took; -noreset
# keeps it from resetting (and dropping a new connection) whenever the
# last client of a start goes.
r, w = os.pipe()
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"],
                        pass_fds=(w,), stderr=subprocess.DEVNULL)
os.close(w)
number = b""
while not number.endswith(b"\n"):
    chunk = os.read(r, 16)
    if not chunk:
        sys.exit("Xvfb did not start")
    number += chunk
screen = ":" + number.decode().strip()


def tasks_cpu(pid):
    """Nanoseconds on CPU of every thread of pid (0 once it is gone)."""
    total = 0
    try:
        for t in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{t}/schedstat") as f:
                    total += int(f.read().split()[0])
            except (OSError, ValueError, IndexError):
                pass
    except OSError:
        pass
    return total


def processes():
    """Parent and CPU seconds (user + system, and of reaped children) by pid."""
    tick = os.sysconf("SC_CLK_TCK")
    parent, cpu = {}, {}
    for p in os.listdir("/proc"):
        if not p.isdigit():
            continue
        try:
            with open(f"/proc/{p}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        parent[int(p)] = int(fields[1])
        cpu[int(p)] = (int(fields[11]) + int(fields[12]) + int(fields[13]) + int(fields[14])) / tick
    return parent, cpu


def descendants(root, parent=None):
    parent = parent if parent is not None else processes()[0]
    found = []
    for p in parent:
        q = p
        while q in parent and q != root and q > 1:
            q = parent[q]
        if q == root and p != root:
            found.append(p)
    return found


def tree_cpu(root):
    """CPU seconds of root and all its descendants."""
    parent, cpu = processes()
    return cpu.get(root, 0.0) + sum(cpu.get(p, 0.0) for p in descendants(root, parent))


def start(side, command, title, pin):
    home = os.path.join(work, "home")
    shutil.rmtree(home, ignore_errors=True)
    env = dict(os.environ, DISPLAY=screen, QT_QPA_PLATFORM="xcb", HOME=home, TMPDIR=os.path.join(home, "tmp"),
               XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CACHE_HOME=os.path.join(home, "cache"), XDG_RUNTIME_DIR=os.path.join(home, "runtime"),
               VELMORA_REGISTRY_DIR=os.path.join(home, "registry"))
    for folder in ("tmp", "config", "data", "cache", "runtime"):
        os.makedirs(os.path.join(home, folder), mode=0o700)
    shutil.copytree(os.path.join(work, "registry"), os.path.join(home, "registry"))
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    d = display.Display(screen)
    root = d.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    d.sync()
    mapped = {}

    def watch():
        while "at" not in mapped:
            event = d.next_event()
            if event.type == X.MapNotify and not event.override:
                at = time.monotonic()
                try:
                    name = event.window.get_wm_name() or ""
                except Exception:
                    name = ""
                if str(name).startswith(title):
                    mapped["at"] = at

    watcher = threading.Thread(target=watch, daemon=True)
    watcher.start()
    begun = time.monotonic()
    proc = subprocess.Popen(pin + command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    last, last_at = 0, begun
    while time.monotonic() - begun < DEADLINE and proc.poll() is None:
        time.sleep(0.005)
        now = time.monotonic()
        cpu = tasks_cpu(proc.pid)
        if cpu != last:
            last, last_at = cpu, now
        elif "at" in mapped and now - last_at >= QUIET:
            break
    cpu = tree_cpu(proc.pid)
    ended = proc.poll() is not None
    # The program's children (its web engine's processes) go with it.
    for child in descendants(proc.pid):
        try:
            os.kill(child, signal.SIGKILL)
        except OSError:
            pass
    proc.kill()
    out = proc.communicate()[0]
    d.close()
    if ended or "at" not in mapped:
        sys.exit(f"{side}: {'ended' if ended else 'no window titled ' + title} ({out.strip()})")
    marker = next((float(l.split()[1]) for l in out.splitlines() if l.startswith("all ")), None)
    return mapped["at"] - begun, last_at - begun, cpu, marker


first_cpu = sorted(os.sched_getaffinity(0))[0]
sides = [("ours", [program] + photos, "Velmora Voravev"), ("peer", [peer] + photos, "Startup peer")]
print(f"{len(photos)} camera-like 12 MP JPEGs; median of {rounds}; seconds from launch")
for row, pin in (("1 core", ["taskset", "-c", str(first_cpu)]), (f"{len(os.sched_getaffinity(0))} cores", [])):
    results = {name: [] for name, _, _ in sides}
    for i in range(rounds):
        for j in range(len(sides)):
            name, command, title = sides[(i + j) % len(sides)]
            results[name].append(start(name, command, title, pin))
    med = {name: [statistics.median(r[k] for r in rs) for k in range(3)] for name, rs in results.items()}
    print(f"== {row}")
    for name in results:
        window, all_s, cpu = med[name]
        line = f"{name:5} window_s {window:6.3f}  all_s {all_s:6.3f}  cpu_s {cpu:6.3f}"
        markers = [r[3] for r in results[name] if r[3] is not None]
        if markers:
            line += f"  (its own count of all_s {statistics.median(markers):.3f})"
        print(line)
    o, p = med["ours"], med["peer"]
    print(f"ratio ours/peer: window {o[0] / p[0]:.2f}  all {o[1] / p[1]:.2f}  cpu {o[2] / p[2]:.2f}")
xvfb.terminate()
xvfb.wait()
PY
