#!/usr/bin/env python3
"""Breaks the product on purpose, one fault at a time, and records whether
the test suite notices.

Each mutant of scripts/mutants.tsv replaces one piece of text of one product
file (the text must occur exactly once). For each mutant the file is changed
in place, build/win64 and the host builds of the picture readers
(build/host, the sanitizer build, and build/host32 and build/host64) are rebuilt
incrementally, and the CTest tests of build/win64 run
one at a time, fastest first, until one fails. The original file is always
put back: on success, on failure, on Ctrl-C and on SIGTERM, and a copy kept
in build/mutants/pending restores it at the next start should this process
be killed outright.

Run it through scripts/mutants.sh, which builds everything and starts the
test session of scripts/test.sh (X servers, wineserver, desktop holder) once
for the whole run. Results are appended to the results file as they come.

Nothing else may build this tree while it runs: a compiler that reads a
changed file and writes its object after the file was put back leaves an
object newer than its source, which later builds keep.
"""

import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MUTANTS_FILE = os.path.join(ROOT, "scripts", "mutants.tsv")
WORK = os.path.join(ROOT, "build", "mutants")
PENDING = os.path.join(WORK, "pending")
LOGS = os.path.join(WORK, "logs")
TIMINGS = os.path.join(WORK, "timings.tsv")
WIN64 = os.path.join(ROOT, "build", "win64")
HOSTS = [os.path.join(ROOT, "build", tree) for tree in ("host", "host32", "host64")]

RESULT_COLUMNS = ["id", "verdict", "caught_by", "build_s", "test_s", "description"]


class Stop(Exception):
    """SIGTERM or SIGHUP: leave as Ctrl-C does."""


def on_signal(signum, frame):
    raise Stop(signal.Signals(signum).name)


# ---- The mutants file ----------------------------------------------------

def unescape(text):
    """\\n, \\t and \\\\ of a mutants-file field."""
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t", "\\": "\\"}.get(m.group(1), m.group(0)), text)


def read_mutants(path):
    mutants = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 5:
                sys.exit(f"{path}:{number}: expected 5 tab-separated fields, found {len(fields)}")
            ident, rel, find, replace, description = fields
            mutants.append({"id": ident, "file": rel, "find": unescape(find), "replace": unescape(replace),
                            "description": description})
    ids = [m["id"] for m in mutants]
    duplicates = {i for i in ids if ids.count(i) > 1}
    if duplicates:
        sys.exit(f"{path}: duplicate ids: {', '.join(sorted(duplicates))}")
    return mutants


# ---- Applying and restoring ----------------------------------------------

def pending_copy(rel):
    return os.path.join(PENDING, rel)


def restore_pending():
    """Puts back files of a run that was killed before it could."""
    for dirpath, _, names in os.walk(PENDING):
        for name in names:
            copy = os.path.join(dirpath, name)
            rel = os.path.relpath(copy, PENDING)
            with open(copy, "rb") as f:
                original = f.read()
            with open(os.path.join(ROOT, rel), "wb") as f:
                f.write(original)
            os.remove(copy)
            print(f"mutants: restored {rel} left changed by an earlier run", flush=True)


def apply_mutant(mutant):
    """Changes the file; returns its original bytes. Raises ValueError when
    the text does not occur exactly once."""
    path = os.path.join(ROOT, mutant["file"])
    with open(path, "rb") as f:
        original = f.read()
    text = original.decode("utf-8")
    count = text.count(mutant["find"])
    if count != 1:
        raise ValueError(f"the text to find occurs {count} times in {mutant['file']}")
    copy = pending_copy(mutant["file"])
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    with open(copy, "wb") as f:
        f.write(original)
    with open(path, "wb") as f:
        f.write(text.replace(mutant["find"], mutant["replace"]).encode("utf-8"))
    return original


def restore(mutant, original):
    with open(os.path.join(ROOT, mutant["file"]), "wb") as f:
        f.write(original)
    os.remove(pending_copy(mutant["file"]))
    try:
        os.removedirs(os.path.dirname(pending_copy(mutant["file"])))
    except OSError:
        pass  # not empty


# ---- Building --------------------------------------------------------------

def run_logged(command, log, cwd=ROOT):
    with open(log, "a") as out:
        out.write(f"$ {' '.join(command)}\n")
        out.flush()
        return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT).returncode


UTILITY_TARGETS = {"all", "clean", "depend", "edit_cache", "rebuild_cache", "test", "install"}


def make_targets(directory):
    """The targets a CMake Makefile offers, as its help lists them."""
    out = subprocess.run(["make", "-C", directory, "help"], capture_output=True, text=True).stdout
    return [line[4:].split(" ")[0] for line in out.splitlines() if line.startswith("... ")]


def test_build_targets():
    """Every program and library of build/win64 but the benchmarks, which
    no test runs."""
    bench = set(make_targets(os.path.join(WIN64, "bench")))
    return [t for t in make_targets(WIN64)
            if "." not in t and "/" not in t and t not in UTILITY_TARGETS and t not in bench]


def build(log):
    """Incremental builds of what the tests run; True when they succeed.
    The host builds are brought up to date for every mutant, not only for
    those in their files: they must also lose the mutant before."""
    if run_logged(["cmake", "--build", WIN64, "-j", "2", "--target", *test_build_targets()], log) != 0:
        return False
    return all(run_logged(["cmake", "--build", host, "-j", "2"], log) == 0 for host in HOSTS)


def first_error(log):
    with open(log, errors="replace") as f:
        for line in f:
            if "error" in line:
                return line.strip()[:200]
    return "build failed"


def compile_only(rel, log):
    """Compiles the one object of build/win64 made from a source file (the
    quick check that a mutant builds; a header needs the full build)."""
    stem, extension = os.path.splitext(rel)
    suffix = {".cpp": ".obj", ".rc": ".res"}.get(extension)
    if suffix is not None:
        folder, name = os.path.split(stem)
        # The object rule is in its folder's Makefile, or for the sources the
        # top-level targets list, in the top-level one.
        for directory, target in ((os.path.join(WIN64, folder), name + suffix), (WIN64, stem + suffix)):
            if os.path.isdir(directory) and target in make_targets(directory):
                return run_logged(["make", "-C", directory, target], log) == 0
    return build(log)


# ---- Tests -----------------------------------------------------------------

def list_tests():
    """(name, is_end_to_end) for every test of build/win64, in declared order."""
    out = subprocess.run(["ctest", "--show-only=json-v1"], cwd=WIN64, capture_output=True, text=True,
                         check=True).stdout
    tests = []
    for test in json.loads(out)["tests"]:
        command = test.get("command", [])
        tests.append((test["name"], "unittest" in command))
    return tests


def read_timings():
    timings = {}
    if os.path.exists(TIMINGS):
        with open(TIMINGS) as f:
            for line in f:
                name, _, seconds = line.strip().partition("\t")
                if seconds:
                    timings[name] = float(seconds)
    return timings


def ordered_tests(timings):
    """Fastest first, by the unmutated run's times when there are any;
    otherwise the unit tests first, each group in declared order."""
    tests = list_tests()
    if timings:
        unknown = max(timings.values()) + 1
        return sorted((name for name, _ in tests), key=lambda name: timings.get(name, unknown))
    return [name for name, e2e in tests if not e2e] + [name for name, e2e in tests if e2e]


def reset_wine_session():
    """After a failed test: ends every Wine program it may have left
    running, then brings the wineserver and the desktop holder back, as
    scripts/wine-env.sh's start_session does."""
    wine, wineserver = os.environ["VISTEL_WINE"], os.environ["VISTEL_WINESERVER"]
    probe = os.path.join(WIN64, "tests", "probe.exe")
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run([wineserver, "-k"], **quiet)
    subprocess.run([wineserver, "-w"], **quiet)
    subprocess.run([wineserver, "-p"], **quiet)
    subprocess.run([wine, probe, "wait", "-", "-", "100"], **quiet)
    subprocess.Popen([wine, probe, "hold"], start_new_session=True, **quiet)


def run_test(name, log, timeout):
    """Runs one CTest test; returns (passed, seconds, timed_out)."""
    command = ["ctest", "--output-on-failure", "--timeout", "900", "--stop-on-failure", "-R", f"^{re.escape(name)}$"]
    start = time.monotonic()
    with open(log, "a") as out:
        out.write(f"$ {' '.join(command)}\n")
        out.flush()
        process = subprocess.Popen(command, cwd=WIN64, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        try:
            returncode = process.wait(timeout=timeout)
            timed_out = False
        except subprocess.TimeoutExpired:
            timed_out = True
            returncode = -1
        finally:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
    seconds = time.monotonic() - start
    if returncode == 0:
        with open(log) as f:
            # A filter that matched nothing is not a pass.
            if "No tests were found" in f.read():
                returncode = 1
    return returncode == 0, seconds, timed_out


def test_timeout(name, timings):
    """Five times the unmutated run's time plus two minutes (the machine is
    shared: tests were seen to take 2.6 times as long while other suites
    ran); without a time, CTest's own limits apply."""
    return 5 * timings[name] + 120 if name in timings else None


def run_suite(tests, timings, log, stop_at_first=True):
    """Runs the tests in order; returns ([(name, seconds)], [failed names],
    [flaky names]). With stop_at_first (a mutant's run) a failed test is
    run once more: one that passes then is flaky, not a catch, and the run
    goes on (a test was seen to fail under load when a helper could not
    start)."""
    times, failed, flaky = [], [], []
    for name in tests:
        passed, seconds, timed_out = run_test(name, log, test_timeout(name, timings))
        times.append((name, seconds))
        print(f"  {name}: {'passed' if passed else 'timed out' if timed_out else 'FAILED'} ({seconds:.0f} s)",
              flush=True)
        if passed:
            continue
        reset_wine_session()
        if stop_at_first and not timed_out:
            passed, seconds, _ = run_test(name, log, test_timeout(name, timings))
            print(f"  {name} again: {'passed: flaky' if passed else 'FAILED'} ({seconds:.0f} s)", flush=True)
            if passed:
                flaky.append(name)
                continue
            reset_wine_session()
        failed.append(name + (" (timeout)" if timed_out else ""))
        if stop_at_first:
            break
    return times, failed, flaky


# ---- Results -------------------------------------------------------------

def open_results(path):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    new = not os.path.exists(path) or os.path.getsize(path) == 0
    f = open(path, "a", encoding="utf-8")
    if new:
        f.write("\t".join(RESULT_COLUMNS) + "\n")
        f.flush()
    return f


def done_ids(path):
    if not os.path.exists(path):
        return set()
    with open(path, encoding="utf-8") as f:
        return {line.split("\t")[0] for line in f if line.strip() and not line.startswith("id\t")}


def write_result(results, row):
    results.write("\t".join(str(row[c]) for c in RESULT_COLUMNS) + "\n")
    results.flush()


# ---- Modes -----------------------------------------------------------------

def run_baseline(results, timings):
    """The unmutated suite, every test: the times order later runs, and a
    failure here is a flaky or broken test."""
    log = os.path.join(LOGS, "baseline.log")
    open(log, "w").close()
    print("baseline: the unmutated suite", flush=True)
    start = time.monotonic()
    times, failed, _ = run_suite(ordered_tests(timings), timings, log, stop_at_first=False)
    total = time.monotonic() - start
    with open(TIMINGS, "w") as f:
        for name, seconds in times:
            if name not in failed:
                f.write(f"{name}\t{seconds:.1f}\n")
    write_result(results, {"id": "(baseline)", "verdict": "failed" if failed else "passed",
                           "caught_by": ",".join(failed) or "-", "build_s": 0, "test_s": f"{total:.0f}",
                           "description": "the unmutated suite; slowest: " +
                           ", ".join(f"{n} {s:.0f} s" for n, s in sorted(times, key=lambda t: -t[1])[:5])})
    print(f"baseline: {total:.0f} s; failed: {', '.join(failed) or 'none'}", flush=True)
    return not failed


def run_mutant(mutant, tests, timings, results):
    log = os.path.join(LOGS, mutant["id"] + ".log")
    open(log, "w").close()
    print(f"{mutant['id']}: {mutant['description']}", flush=True)
    row = {"id": mutant["id"], "caught_by": "-", "build_s": 0, "test_s": 0, "description": mutant["description"]}
    try:
        original = apply_mutant(mutant)
    except (ValueError, OSError) as e:
        row["verdict"] = "not-applied"
        row["caught_by"] = str(e)
        write_result(results, row)
        print(f"  not applied: {e}", flush=True)
        return row
    try:
        start = time.monotonic()
        built = build(log)
        row["build_s"] = f"{time.monotonic() - start:.0f}"
        if not built:
            row["verdict"] = "no-build"
            row["caught_by"] = first_error(log)
            print(f"  did not build: {row['caught_by']}", flush=True)
        else:
            start = time.monotonic()
            _, failed, flaky = run_suite(tests, timings, log)
            if flaky:
                row["description"] += f" [flaky, passed when run again: {', '.join(flaky)}]"
            row["test_s"] = f"{time.monotonic() - start:.0f}"
            row["verdict"] = "caught" if failed else "survived"
            row["caught_by"] = failed[0] if failed else "-"
    finally:
        restore(mutant, original)
    write_result(results, row)
    print(f"  {row['verdict']} {row['caught_by'] if row['verdict'] == 'caught' else ''}"
          f" (build {row['build_s']} s, tests {row['test_s']} s)", flush=True)
    return row


def check_mutants(mutants):
    """Applies each mutant and compiles its file only: the text is found
    once and the change builds."""
    bad = 0
    for mutant in mutants:
        log = os.path.join(LOGS, mutant["id"] + ".check.log")
        open(log, "w").close()
        try:
            original = apply_mutant(mutant)
        except (ValueError, OSError) as e:
            print(f"{mutant['id']}: NOT APPLIED: {e}", flush=True)
            bad += 1
            continue
        try:
            ok = compile_only(mutant["file"], log)
        finally:
            restore(mutant, original)
        print(f"{mutant['id']}: {'builds' if ok else 'DOES NOT BUILD: ' + first_error(log)}", flush=True)
        bad += not ok
    # The objects go back to the unchanged sources.
    subprocess.run(["cmake", "--build", WIN64, "-j", "2"], cwd=ROOT, stdout=subprocess.DEVNULL)
    return bad == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("ids", nargs="*", help="mutants to run, in this order (default: all, in file order)")
    parser.add_argument("--results", default=os.path.join(WORK, "results.tsv"),
                        help="results file, appended to (default: build/mutants/results.tsv)")
    parser.add_argument("--baseline", action="store_true",
                        help="run the unmutated suite first (records the test times that order later runs)")
    parser.add_argument("--resume", action="store_true", help="skip the mutants the results file already has")
    parser.add_argument("--check", action="store_true", help="only apply and compile each mutant; no tests")
    parser.add_argument("--list", action="store_true", help="list the mutants")
    args = parser.parse_args()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)
    os.makedirs(LOGS, exist_ok=True)
    restore_pending()

    mutants = read_mutants(MUTANTS_FILE)
    if args.ids:
        unknown = set(args.ids) - {m["id"] for m in mutants}
        if unknown:
            sys.exit(f"unknown mutants: {', '.join(sorted(unknown))}")
        by_id = {m["id"]: m for m in mutants}
        mutants = [by_id[i] for i in dict.fromkeys(args.ids)]  # in the order named
    if args.list:
        for m in mutants:
            print(f"{m['id']}\t{m['file']}\t{m['description']}")
        return 0
    if args.check:
        return 0 if check_mutants(mutants) else 1

    results = open_results(args.results)
    timings = read_timings()
    if args.baseline:
        run_baseline(results, timings)
        timings = read_timings()
    if args.resume:
        done = done_ids(args.results)
        mutants = [m for m in mutants if m["id"] not in done]
    tests = ordered_tests(timings)
    print(f"mutants: {len(mutants)} to run; test order: {', '.join(tests)}", flush=True)

    rows = []
    start = time.monotonic()
    try:
        for mutant in mutants:
            rows.append(run_mutant(mutant, tests, timings, results))
    except (KeyboardInterrupt, Stop) as e:
        print(f"mutants: stopped ({e or 'Ctrl-C'}) after {len(rows)} mutants", flush=True)
    finally:
        # A stop between changing a file and guarding it is caught here.
        restore_pending()
        # Leave the build as the unchanged sources make it.
        print("mutants: rebuilding the unchanged sources", flush=True)
        subprocess.run(["cmake", "--build", WIN64, "-j", "2"], cwd=ROOT, stdout=subprocess.DEVNULL)
        for host in HOSTS:
            if os.path.exists(os.path.join(host, "CMakeCache.txt")):
                subprocess.run(["cmake", "--build", host, "-j", "2"], cwd=ROOT, stdout=subprocess.DEVNULL)

    counted = [r for r in rows if r["verdict"] in ("caught", "survived")]
    caught = [r for r in counted if r["verdict"] == "caught"]
    print(f"\nmutants: {len(caught)} caught of {len(counted)} in {time.monotonic() - start:.0f} s")
    for r in rows:
        if r["verdict"] != "caught":
            print(f"  {r['verdict']}: {r['id']} ({r['description']})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
