#!/usr/bin/env python3
"""Plants faults in the program one at a time and reports which test catches each, so that
a change to the tests can be shown to catch everything the suite caught before.

  python3 scripts/planted-faults.py [ID ...] [--area AREA] [--json FILE] [--no-baseline]
  python3 scripts/planted-faults.py --list | --check

For each fault: its file must be unchanged in git and hold the fault's text exactly once;
the text is replaced, the program built, and the tests run from cheapest to dearest until
one fails: the native tests, the Windows unit tests under Wine, then the end-to-end window
session (a minute or two). A C or C++ file the native build does not compile skips the
native tests; a build file runs them. A test that fails is run once more and counts only if it fails again (a test that
hangs counts at once); what failed both times is reported. The file is put back whatever
happens, Ctrl+C included.

First both presets are built and every test run once without a fault (--no-baseline skips
the run): a suite that fails by itself would make every fault look caught, and the run
gives ctest the timings that order the tests. Progress goes to stderr, the markdown table
to stdout; build and test output of each fault to build/planted-faults/ID.log."""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LOGS = ROOT / "build" / "planted-faults"
# The file being planted and its text, kept until it is put back, so that a run that was
# killed outright can be undone by the next one.
PENDING = LOGS / "pending-restore.json"

from planted_faults_table import FAULTS  # noqa: E402

# Test steps, cheapest first: (name, preset, ctest selection).
STEPS = [
    ("native", "native", []),
    ("windows", "windows", ["-E", "window_session_test"]),
    ("session", "windows", ["-R", "window_session_test"]),
]
HARD_TIMEOUT = 1200  # seconds for one test; ctest's own limits (300, 600) normally come first


def progress(text):
    print(text, file=sys.stderr, flush=True)


def terminate_on(signum, _frame):
    raise KeyboardInterrupt(f"signal {signum}")


def run(cmd, env=None, timeout=None):
    """Runs cmd in a process group of its own; (exit status or None on time-out, output).
    A time-out or an interrupt ends the whole group: first politely, so that test scripts
    run their clean-up, then for good."""
    proc = subprocess.Popen(cmd, cwd=ROOT, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL, text=True, errors="replace", start_new_session=True)
    out = ""
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out
    except BaseException as error:
        for sig, grace in ((signal.SIGTERM, 15), (signal.SIGKILL, None)):
            try:
                os.killpg(proc.pid, sig)
            except ProcessLookupError:
                break
            try:
                out, _ = proc.communicate(timeout=grace)
                break
            except subprocess.TimeoutExpired:
                continue
        if isinstance(error, subprocess.TimeoutExpired):
            return None, (out or "") + f"\n[timed out after {timeout} s]"
        raise


class WindowsEnvironment:
    """The virtual screen and the private Wine prefix the Windows tests run in, made as the
    test command makes them, once per invocation."""

    def __init__(self):
        script = ("source scripts/lib/virtual-screen.sh; start_virtual_screen $((90 + RANDOM % 100)); "
                  "unset WINEPREFIX; source scripts/wine-env.sh; echo XVFB=$VIRTUAL_SCREEN_PID; "
                  "for v in DISPLAY WINEPREFIX WINEDEBUG WINEDLLOVERRIDES; do echo \"$v=${!v}\"; done")
        status, out = run(["bash", "-c", script], timeout=300)
        found = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        self.xvfb = int(found.get("XVFB", "0") or 0)
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES"):
            self.env[name] = found.get(name, "")
        if status != 0 or not self.env["WINEPREFIX"] or not self.env["DISPLAY"]:
            self.close()
            raise SystemExit(f"could not set up the virtual screen and Wine prefix:\n{out}")
        progress(f"   screen {self.env['DISPLAY']}, wine prefix {self.env['WINEPREFIX']}")

    def restart_wine(self):
        """After a test that timed out: its processes may still hold the server."""
        run(["bash", "-c", "wineserver -k; wineserver -p >/dev/null 2>&1 </dev/null; "
             "wine cmd.exe /c exit 0 >/dev/null 2>&1 </dev/null"], env=self.env, timeout=120)

    def close(self):
        if self.env.get("WINEPREFIX"):
            run(["wineserver", "-k"], env=self.env, timeout=60)
            if self.env["WINEPREFIX"].startswith("/tmp/ombrix-wine."):
                run(["rm", "-rf", self.env["WINEPREFIX"]])
        if self.xvfb:
            try:
                os.kill(self.xvfb, signal.SIGTERM)
            except ProcessLookupError:
                pass


def build(preset):
    return run(["nice", "cmake", "--build", "--preset", preset])


def tests_of(preset, selection, env):
    """The step's test names, cheapest first by the times ctest keeps of earlier runs."""
    _, out = run(["ctest", "--preset", preset, "-N", *selection], env=env)
    names = re.findall(r"Test\s+#\d+: (\S+)", out)
    cost = {}
    costs = ROOT / "build" / preset / "Testing" / "Temporary" / "CTestCostData.txt"
    if costs.exists():
        for line in costs.read_text().splitlines():
            parts = line.split()
            if len(parts) == 3:
                cost[parts[0]] = float(parts[2])
    return sorted(names, key=lambda name: cost.get(name, 0.0))


def run_test(preset, name, windows):
    """None when the test passes, else (the cases or checks that failed, or else why it
    failed, and the output)."""
    env = windows.env if preset == "windows" else None
    status, out = run(["ctest", "--preset", preset, "-R", f"^{name}$"], env=env, timeout=HARD_TIMEOUT)
    if status == 0:
        return None
    cases = re.findall(r"^\[  FAILED  \] ([\w/]+\.[\w/]+)", out, re.M)
    cases += re.findall(r"^FAIL (.+?): expected \[", out, re.M) or re.findall(r"^FAIL ([^:\n]+)", out, re.M)
    if status is None or "***Timeout" in out:
        if env is not None:
            windows.restart_wine()  # the test's processes may still hold the server
        return ["timed out"], out
    if not cases and re.search(r"Unhandled (page fault|exception|stack overflow)|SegFault|Exception", out):
        cases = ["crashed"]
    if not cases:
        word = re.search(r"\*\*\*(\w[\w :]*?)\s+[\d.]+ sec", out)
        cases = [word.group(1) if word else "failed"]
    return list(dict.fromkeys(cases)), out


def native_sources():
    """Every source and header the native build compiles, from ninja's dependency log."""
    _, out = run(["ninja", "-C", "build/native", "-t", "deps"])
    return {line.strip() for line in out.splitlines() if line.startswith(" ")}


def undo_pending():
    if PENDING.exists():
        pending = json.loads(PENDING.read_text())
        (ROOT / pending["path"]).write_text(pending["text"], encoding="utf-8")
        PENDING.unlink()
        progress(f"put back {pending['path']}, left planted by an earlier run that was killed")


def measure(fault, native, windows, log):
    """Plants one fault, builds and tests; the file is put back in every case."""
    path = ROOT / fault.path
    if run(["git", "status", "--porcelain", "--", fault.path])[1].strip():
        return {"result": "not clean"}
    text = path.read_text(encoding="utf-8")
    if text.count(fault.old) != 1:
        return {"result": "not found", "detail": f"found {text.count(fault.old)} times"}
    PENDING.write_text(json.dumps({"path": fault.path, "text": text}))
    try:
        path.write_text(text.replace(fault.old, fault.new), encoding="utf-8")
        built = set()
        flaky = []  # tests that failed once and then passed
        for step, preset, selection in STEPS:
            # A C or C++ file the native build does not compile cannot change it; any other
            # file (a build file) may change both builds.
            if preset == "native" and str(path) not in native and path.suffix in (".c", ".cc", ".cpp", ".h", ".hpp"):
                continue
            env = windows.env if preset == "windows" else None
            if preset not in built:
                status, out = build(preset)
                log.write(f"=== build {preset}\n{out}\n")
                if status != 0:
                    return {"result": "build failed", "detail": preset}
                built.add(preset)
            for name in tests_of(preset, selection, env):
                failure = run_test(preset, name, windows)
                if failure is None:
                    continue
                cases, out = failure
                log.write(f"=== {name}\n{out}\n")
                if cases != ["timed out"]:
                    # Caught only when a second run fails too: a check that fails now and
                    # then must not pass for a caught fault. What failed both times counts.
                    again = run_test(preset, name, windows)
                    if again is None:
                        flaky.append(name)
                        continue
                    log.write(f"=== {name} again\n{again[1]}\n")
                    cases = [case for case in cases if case in again[0]] or cases
                return {"result": "killed", "step": step, "test": name, "cases": cases, "flaky": flaky}
        return {"result": "survived", "flaky": flaky}
    finally:
        # No signal may cut the putting back short.
        blocked = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT, signal.SIGTERM, signal.SIGHUP})
        path.write_text(text, encoding="utf-8")
        PENDING.unlink()
        signal.pthread_sigmask(signal.SIG_SETMASK, blocked)


def build_both():
    for preset in ("native", "windows"):
        progress(f"== build {preset}")
        status, out = build(preset)
        if status != 0:
            raise SystemExit(f"the {preset} build fails without any fault:\n{out[-3000:]}")


def run_baseline(windows):
    """Every step once without a fault: it must pass, and ctest learns the tests' times."""
    for step, preset, selection in STEPS:
        env = windows.env if preset == "windows" else None
        progress(f"== baseline {step}")
        status, out = run(["ctest", "--preset", preset, *selection], env=env, timeout=3 * HARD_TIMEOUT)
        if status != 0:
            raise SystemExit(f"the {step} tests fail without any fault; fix that first:\n{out[-3000:]}")


def describe(row):
    if row["result"] == "killed":
        cases = row["cases"]
        text = f"killed by {row['test']}: {cases[0]}" + (f" (+{len(cases) - 1} more)" if len(cases) > 1 else "")
    elif row["result"] == "survived":
        text = "**SURVIVED**"
    else:
        text = row["result"] + (f" ({row['detail']})" if row.get("detail") else "")
    if row.get("flaky"):
        text += f"; {', '.join(row['flaky'])} failed once, then passed"
    return text


def markdown(rows, commit):
    lines = [f"Planted faults on {commit}, {time.strftime('%Y-%m-%d')}", "",
             "| id | area | what it breaks | result | s |", "|---|---|---|---|---|"]
    for row in rows:
        what = row["what"].replace("|", "\\|")
        lines.append(f"| {row['id']} | {row['area']} | {what} | {describe(row)} | {row['seconds']:.0f} |")
    counts = {key: sum(1 for row in rows if row["result"] == key)
              for key in ("killed", "survived", "build failed", "not found", "not clean")}
    steps = {step: sum(1 for row in rows if row.get("step") == step) for step, _, _ in STEPS}
    lines += ["", f"Totals ({len(rows)} faults): " + ", ".join(f"{n} {key}" for key, n in counts.items())
              + "; killed at the " + ", ".join(f"{step} step {n}" for step, n in steps.items()) + "."]
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("ids", nargs="*", help="faults to plant (default: all)")
    parser.add_argument("--area", help="only the faults of this area")
    parser.add_argument("--json", help="also write the results to this file")
    parser.add_argument("--no-baseline", action="store_true", help="skip the test run without a fault")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--check", action="store_true", help="only check that every fault's text is found once")
    args = parser.parse_args()

    faults = [f for f in FAULTS if (not args.ids or f.id in args.ids) and (not args.area or f.area == args.area)]
    unknown = set(args.ids) - {f.id for f in FAULTS}
    if unknown or not faults:
        raise SystemExit(f"no such fault: {', '.join(sorted(unknown))}" if unknown else "no fault selected")
    if args.list:
        for f in faults:
            print(f"{f.id:24} {f.area:13} {f.path:45} {f.what}")
        return 0
    if args.check:
        bad = [f"{f.id}: found {(ROOT / f.path).read_text(encoding='utf-8').count(f.old)} times in {f.path}"
               for f in faults if (ROOT / f.path).read_text(encoding="utf-8").count(f.old) != 1]
        print("\n".join(bad) or f"all {len(faults)} texts found once")
        return 1 if bad else 0

    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, terminate_on)
    LOGS.mkdir(parents=True, exist_ok=True)
    undo_pending()
    commit = run(["git", "rev-parse", "--short", "HEAD"])[1].strip()
    windows = None
    rows = []
    try:
        build_both()
        windows = WindowsEnvironment()
        if not args.no_baseline:
            run_baseline(windows)
        native = native_sources()
        for number, fault in enumerate(faults, 1):
            started = time.monotonic()
            with open(LOGS / f"{fault.id}.log", "w") as log:
                row = measure(fault, native, windows, log)
            row.update(id=fault.id, area=fault.area, path=fault.path, what=fault.what,
                       seconds=time.monotonic() - started)
            rows.append(row)
            progress(f"[{number}/{len(faults)}] {fault.id}: {describe(row)} ({row['seconds']:.0f} s)")
    except KeyboardInterrupt:
        progress("interrupted; the planted file has been put back")
    finally:
        if windows is not None:
            windows.close()
    # The build trees still hold the last plant's objects: rebuilt, they match the sources
    # again, so that nobody tests a planted program by mistake.
    progress("== rebuilding without the faults")
    for preset in ("native", "windows"):
        build(preset)
    if args.json:
        Path(args.json).write_text(json.dumps({"commit": commit, "faults": rows}, indent=1, ensure_ascii=False))
    sys.stdout.write(markdown(rows, commit))
    return 0


if __name__ == "__main__":
    sys.exit(main())
