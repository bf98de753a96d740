#!/usr/bin/env python3
"""Mutation run: how many small faults does the test suite catch?

Applies one fault at a time from scripts/mutants.txt to a scratch copy of the tracked
files, rebuilds incrementally, runs the suite, and reports each fault as killed (a test
failed), survived (the suite passed) or build-error (counts as neither). The tree the copy
is taken from is only read, never written.

  scripts/mutate.py                      # every fault, scratch in /tmp/tarn-mutate/<repo>
  scripts/mutate.py --only ID,ID         # some faults
  scripts/mutate.py --list               # the faults, and whether each still applies
  scripts/mutate.py --keep-going         # run the whole suite per fault, name every catcher
  scripts/mutate.py --keep-going --functions --skip-tests 'e2e_bridge|e2e_mqtt'
                                         # which test functions catch each fault, quickly
  scripts/mutate.py --report FILE        # also write the results to FILE
"""
import argparse, os, re, shutil, signal, subprocess, sys, time
from pathlib import Path

CTEST = ["ctest", "-j2", "--timeout", "120", "-LE", "install|fuzz", "--output-on-failure"]


class Fault:
    def __init__(self, ident, path, description, original, replacement):
        self.id, self.path, self.description = ident, path, description
        self.original, self.replacement = original, replacement


def read_faults(table):
    """Blocks of '@@ id | path | description', the original lines, '>>>', the new lines.
    Lines that begin with '# ' are notes, wherever they are."""
    faults, block = [], None
    for number, line in enumerate(table.read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith("@@ "):
            head = [part.strip() for part in line[3:].split("|", 2)]
            if len(head) != 3:
                sys.exit(f"{table}:{number}: expected '@@ id | path | description'")
            block = {"head": head, "old": [], "new": None}
            faults.append(block)
        elif block is None or line.startswith("# "):
            continue  # notes
        elif line == ">>>" and block["new"] is None:
            block["new"] = []
        else:
            (block["old"] if block["new"] is None else block["new"]).append(line)
    result = []
    for b in faults:
        if b["new"] is None:
            sys.exit(f"{table}: fault {b['head'][0]} has no '>>>' line")
        text = lambda lines: "\n".join(lines).strip("\n")
        result.append(Fault(*b["head"], text(b["old"]), text(b["new"])))
    ids = [f.id for f in result]
    if len(ids) != len(set(ids)):
        sys.exit(f"{table}: fault ids are not unique")
    return result


def run(command, cwd, env, log):
    """Runs a command in its own process group, so that an interruption ends all of it."""
    log.write(f"$ {' '.join(command)}\n")
    log.flush()
    process = subprocess.Popen(command, cwd=cwd, env=env, stdout=log, stderr=subprocess.STDOUT,
                               start_new_session=True)
    try:
        return process.wait()
    except BaseException:
        os.killpg(process.pid, signal.SIGTERM)
        process.wait()
        raise


def sync(source, copy):
    """Copies the tracked files; unchanged ones keep their time stamps, so builds stay small."""
    listed = subprocess.run(["git", "-C", str(source), "ls-files", "-z"], check=True,
                            capture_output=True).stdout.decode().split("\0")
    tracked = {name for name in listed if name and (source / name).is_file()}
    for name in tracked:
        data, target = (source / name).read_bytes(), copy / name
        if not target.is_file() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            shutil.copymode(source / name, target)
    for target in list(copy.rglob("*")):
        if target.is_file() and target.relative_to(copy).as_posix() not in tracked:
            target.unlink()


def interrupt(*_):
    raise KeyboardInterrupt  # a termination restores the scratch copy as Ctrl+C does


def write_fresh(path, text):
    """Writes a file and dates it now, so that the next build compiles it again."""
    path.write_text(text, encoding="utf-8")
    now = time.time()
    os.utime(path, (now, now))


def failed_tests(log_path, functions=False):
    """The tests ctest lists as failed, from the log of one fault; or, with `functions`,
    the test functions (Class::function) that reported a failure."""
    text = log_path.read_text(errors="replace")
    if functions:
        found = re.findall(r"^(?:FAIL!|QFATAL)\s*:\s+(\S+?)\(", text, re.M)
        return sorted(set(found))
    if "tests FAILED:" not in text:
        return []
    return re.findall(r"^\s*\d+ - (\S+) \(", text.split("tests FAILED:")[-1], re.M)


def main():
    here = Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source", type=Path, default=here.parent, help="tree to copy")
    parser.add_argument("--faults", type=Path, default=here / "mutants.txt")
    parser.add_argument("--work", type=Path, help="scratch folder (default /tmp/tarn-mutate/NAME)")
    parser.add_argument("--only", help="comma-separated fault ids")
    parser.add_argument("--list", action="store_true", help="list the faults and exit")
    parser.add_argument("--keep-going", action="store_true",
                        help="run every test on each fault instead of stopping at the first failure")
    parser.add_argument("--report", type=Path, help="write the results to this file")
    parser.add_argument("--functions", action="store_true",
                        help="name the catching test functions instead of the test programs")
    parser.add_argument("--skip-tests", metavar="REGEX",
                        help="leave out the tests whose names match (a fault only they catch "
                             "then survives)")
    args = parser.parse_args()

    source = args.source.resolve()
    faults = read_faults(args.faults)
    if args.only:
        wanted = args.only.split(",")
        unknown = set(wanted) - {f.id for f in faults}
        if unknown:
            sys.exit(f"unknown fault ids: {', '.join(sorted(unknown))}")
        faults = [f for f in faults if f.id in wanted]
    stale = {}
    for f in faults:
        path = source / f.path
        count = path.read_text(encoding="utf-8").count(f.original) if path.is_file() else 0
        if count != 1:
            stale[f.id] = f"snippet found {count} times in {f.path}"
    if args.list:
        for f in faults:
            mark = f"  STALE: {stale[f.id]}" if f.id in stale else ""
            print(f"{f.id:32} {f.path:36} {f.description}{mark}")
        return 0

    work = (args.work or Path("/tmp/tarn-mutate") / source.name).resolve()
    if work == source or source in work.parents:
        sys.exit("the scratch folder must lie outside the source tree")
    copy, build, logs, runtime = work / "src", work / "build", work / "logs", work / "runtime"
    for folder in (copy, logs, runtime):
        folder.mkdir(parents=True, exist_ok=True)
    runtime.chmod(0o700)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=str(runtime))
    signal.signal(signal.SIGTERM, interrupt)

    ctest = CTEST + (["-E", args.skip_tests] if args.skip_tests else [])
    ctest += [] if args.keep_going else ["--stop-on-failure"]
    started = time.monotonic()
    sync(source, copy)
    with open(logs / "pristine.txt", "w") as log:
        if not (build / "build.ninja").is_file():
            configure = ["cmake", "-S", str(copy), "-B", str(build), "-G", "Ninja",
                         "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DTARN_WARNINGS_AS_ERRORS=OFF"]
            if shutil.which("ld.lld"):  # links the thirty programs of every fault in a third
                configure.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
            if run(configure, work, env, log):
                sys.exit(f"configuring failed, see {logs / 'pristine.txt'}")
        if run(["cmake", "--build", str(build), "-j2"], work, env, log):
            sys.exit(f"the unchanged tree does not build, see {logs / 'pristine.txt'}")
        if run(CTEST, build, env, log):
            sys.exit(f"the suite fails without any fault, see {logs / 'pristine.txt'}")
    print(f"pristine build and suite pass ({time.monotonic() - started:.0f} s)", flush=True)

    results = []  # (fault, result, seconds, catchers)
    # File by file: a fault then replaces the one before it in the same file, one compile.
    for f in sorted(faults, key=lambda f: f.path):
        if f.id in stale:
            print(f"{f.id:32} STALE ({stale[f.id]})", flush=True)
            results.append((f, "stale", 0.0, stale[f.id]))
            continue
        target, t0 = copy / f.path, time.monotonic()
        pristine = target.read_text(encoding="utf-8")
        log_path = logs / f"{f.id}.txt"
        try:
            write_fresh(target, pristine.replace(f.original, f.replacement))
            with open(log_path, "w") as log:
                if run(["cmake", "--build", str(build), "-j2"], work, env, log):
                    result = "build-error"
                else:
                    result = "killed" if run(ctest, build, env, log) else "survived"
        finally:
            write_fresh(target, pristine)
        catchers = ", ".join(failed_tests(log_path, args.functions)) if result == "killed" else ""
        seconds = time.monotonic() - t0
        results.append((f, result, seconds, catchers))
        print(f"{f.id:32} {result:11} {seconds:5.0f} s  {catchers}", flush=True)

    lines = [f"{f.id:32} {r:11} {s:5.0f} s  {f.path}: {f.description}"
             + (f" [{c}]" if c else "") for f, r, s, c in results]
    count = lambda kind: sum(1 for _, r, _, _ in results if r == kind)
    killed, valid = count("killed"), count("killed") + count("survived")
    score = 100.0 * killed / valid if valid else 0.0
    lines += ["", f"killed {killed} / valid {valid} = {score:.1f} %"
              + f"  (build errors {count('build-error')}, stale {count('stale')})"]
    for kind in ("survived", "build-error", "stale"):
        lines += [f"{kind}:"] + [f"  {f.id}: {f.description}"
                                 for f, r, _, _ in results if r == kind]
    lines.append(f"time: {time.monotonic() - started:.0f} s")
    print("\n".join(lines[len(results):]))
    if args.report:
        args.report.write_text("\n".join(lines) + "\n", encoding="utf-8")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("interrupted; the scratch copy is restored")
