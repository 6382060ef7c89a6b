#!/usr/bin/env python3
"""Plants faults, one at a time, in the product lines changed since a commit,
and says which tests caught each one. Run through scripts/mutants.sh."""

import argparse
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = ("engine/", "dialog/", "app/")
JOURNAL = os.path.join(ROOT, ".mutants-restore")  # the original of a file being mutated

# (name, pattern, replacement): each match of the pattern on a line is one fault.
# Binary operators are matched with a blank on each side, as the code writes
# them, so templates, streams and arrows stay out.
OPERATORS = [
    ("<= to <", r"(?<= )<=(?= )", "<"),
    ("< to <=", r"(?<= )<(?= )", "<="),
    (">= to >", r"(?<= )>=(?= )", ">"),
    ("> to >=", r"(?<= )>(?= )", ">="),
    ("== to !=", r"(?<= )==(?= )", "!="),
    ("!= to ==", r"(?<= )!=(?= )", "=="),
    ("&& to ||", r"(?<= )&&(?= )", "||"),
    ("|| to &&", r"(?<= )\|\|(?= )", "&&"),
    ("negation dropped", r"(?<![\w)\]!])!(?=[\w(])", ""),
    ("+ 1 dropped", r" \+ 1\b", ""),
    ("- 1 dropped", r" - 1\b", ""),
    ("+ 1 to - 1", r" \+ 1\b", " - 1"),
    ("- 1 to + 1", r" - 1\b", " + 1"),
    ("true to false", r"\btrue\b", "false"),
    ("false to true", r"\bfalse\b", "true"),
    ("0 to 1", r"(?<![\w.])0(?![\w.])", "1"),
]

RETURN = re.compile(r"^(\s*)return (.+);\s*$")
IF = re.compile(r"^(\s*(?:\} else )?if \()(.*)\)(\s*\{?)\s*$")
STATEMENT = re.compile(r"^\s*[\w:.\->\[\]()*&]+(?:\(.*\)|\s*[-+*/|&]?=\s*.+|\+\+|--)\s*;\s*$")
DECLARATION = re.compile(r"^\s*(?:const |static |auto |unsigned |std::|Q[A-Z]\w*\b|int |bool |uint |char |size_t |double )")


def run(command, **kwargs):
    return subprocess.run(command, cwd=ROOT, text=True, **kwargs)


def changed_lines(base):
    """{path: [line numbers]} of the product lines added or changed since base."""
    diff = run(["git", "diff", "-U0", base, "--", *PRODUCT], capture_output=True, check=True).stdout
    lines, path = {}, None
    for row in diff.splitlines():
        if row.startswith("+++ "):
            path = row[6:] if row.startswith("+++ b/") else None
            if path and not path.endswith((".cpp", ".h")):
                path = None
        elif path and row.startswith("@@"):
            start, _, count = re.search(r"\+(\d+)(,(\d+))?", row).groups()
            count = 1 if count is None else int(count)
            lines.setdefault(path, []).extend(range(int(start), int(start) + count))
    return lines


def code_of(line):
    """The line without a trailing // comment, or None for comments and preprocessor lines."""
    stripped = line.strip()
    if not stripped or stripped.startswith(("//", "/*", "*", "#")):
        return None
    at = line.find("//")
    while at >= 0 and line.count('"', 0, at) % 2:
        at = line.find("//", at + 2)
    return line if at < 0 else line[:at].rstrip() + "\n"


def faults_of(path, number, line):
    code = code_of(line)
    if code is None:
        return []
    faults = []
    # Operators outside string literals only.
    strings = [m.span() for m in re.finditer(r'"(?:\\.|[^"\\])*"', code)]
    inside = lambda at: any(a <= at < b for a, b in strings)
    for name, pattern, replacement in OPERATORS:
        for match in re.finditer(pattern, code):
            if inside(match.start()):
                continue
            mutated = code[:match.start()] + replacement + code[match.end():]
            faults.append((path, number, name, mutated))
    returned = RETURN.match(code)
    if returned and returned.group(2) not in ("{}", "true", "false", "0", "result"):
        faults.append((path, number, "returns {}", returned.group(1) + "return {};\n"))
    branch = IF.match(code)
    if branch:
        head, condition, tail = branch.groups()
        faults.append((path, number, "branch never taken", f"{head}false){tail}\n"))
        faults.append((path, number, "branch always taken", f"{head}true){tail}\n"))
    elif STATEMENT.match(code) and not DECLARATION.match(code) and not code.strip().startswith("return"):
        indent = re.match(r"\s*", code).group(0)
        faults.append((path, number, "statement removed", indent + ";\n"))
    return faults


def restore_interrupted():
    """Puts back a file an interrupted earlier run left mutated."""
    if not os.path.exists(JOURNAL):
        return
    with open(JOURNAL, encoding="utf-8", newline="") as journal:
        path = journal.readline().rstrip("\n")
        original = journal.read()
    with open(os.path.join(ROOT, path), "w", encoding="utf-8", newline="") as target:
        target.write(original)
    os.remove(JOURNAL)
    print(f"Restored {path}, left mutated by an interrupted run.", file=sys.stderr)


class Planted:
    """Writes one fault into its file and puts the original back on leaving,
    also on an exception or a signal turned into one."""

    def __init__(self, path, number, mutated):
        self.path, self.number, self.mutated = path, number, mutated

    def __enter__(self):
        full = os.path.join(ROOT, self.path)
        with open(full, encoding="utf-8", newline="") as source:
            self.original = source.read()
        with open(JOURNAL, "w", encoding="utf-8", newline="") as journal:
            journal.write(self.path + "\n" + self.original)
        lines = self.original.splitlines(keepends=True)
        lines[self.number - 1] = self.mutated
        with open(full, "w", encoding="utf-8", newline="") as target:
            target.write("".join(lines))
        return self

    def __exit__(self, *_):
        with open(os.path.join(ROOT, self.path), "w", encoding="utf-8", newline="") as target:
            target.write(self.original)
        os.remove(JOURNAL)


def build(directory):
    result = run(["cmake", "--build", directory, "--parallel", str(os.cpu_count() or 2)],
                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return result.returncode == 0


def failing_tests(directory, timeout, durations=None):
    """The tests (without the stress tests) that fail, or time out; with
    `durations`, the seconds each took go into it."""
    # A fault may open the window instead of the command line: settings of its own.
    with tempfile.TemporaryDirectory() as config:
        result = run(["ctest", "--test-dir", directory, "-LE", "stress", "--timeout", str(timeout)],
                     capture_output=True,
                     env={**os.environ, "QT_QPA_PLATFORM": "offscreen", "XDG_CONFIG_HOME": config})
    if durations is not None:
        for name, seconds in re.findall(r"Test +#\d+: (\S+) .*?([0-9.]+) sec", result.stdout):
            durations[name] = float(seconds)
    return sorted(set(re.findall(r"^\s*\d+ - (\S+) \(", result.stdout, re.M)))


def main():
    parser = argparse.ArgumentParser(prog="scripts/mutants.sh", description=__doc__)
    parser.add_argument("base", help="the commit the changed lines are counted from")
    parser.add_argument("--max", type=int, default=0, help="plant at most N faults, drawn at random (0: all)")
    parser.add_argument("--seed", type=int, default=1, help="the seed of that draw (default 1)")
    parser.add_argument("--build", default="build-mutants", help="the build folder (default build-mutants)")
    parser.add_argument("--only", default="", help="only faults whose file:line contains this text")
    parser.add_argument("--timeout", type=int, default=0,
                        help="seconds a test may take (default: four times the slowest test of the unchanged "
                             "tree, at least 30; a fault that loops is caught by it)")
    parser.add_argument("--list", action="store_true", help="list the faults without planting them")
    arguments = parser.parse_args()

    # SIGTERM and SIGHUP leave through the same path as Ctrl-C, which restores the file.
    def stop(signum, _):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)
    restore_interrupted()
    faults = []
    for path, numbers in sorted(changed_lines(arguments.base).items()):
        with open(os.path.join(ROOT, path), encoding="utf-8") as source:
            text = source.readlines()
        for number in sorted(set(numbers)):
            if number <= len(text):
                faults.extend(faults_of(path, number, text[number - 1]))
    faults = [f for f in faults if arguments.only in f"{f[0]}:{f[1]}"]
    total = len(faults)
    if arguments.max and total > arguments.max:
        faults = sorted(random.Random(arguments.seed).sample(faults, arguments.max),
                        key=lambda f: (f[0], f[1]))
    print(f"{total} faults in the lines changed since {arguments.base}; planting {len(faults)}"
          + (f" (seed {arguments.seed})" if len(faults) < total else ""))
    if arguments.list:
        for path, number, name, mutated in faults:
            print(f"{path}:{number}\t{name}\t{mutated.strip()}")
        return 0

    directory = os.path.join(ROOT, arguments.build)
    run(["cmake", "-S", ROOT, "-B", directory], stdout=subprocess.DEVNULL, check=True)
    if not build(directory):
        print("The unchanged tree does not build.", file=sys.stderr)
        return 2
    durations = {}
    if failing_tests(directory, arguments.timeout or 600, durations):
        print("The unchanged tree fails tests; fix that first.", file=sys.stderr)
        return 2
    if not arguments.timeout:
        arguments.timeout = max(30, int(4 * max(durations.values(), default=30)))

    rows, interrupted = [], False
    try:
        for index, (path, number, name, mutated) in enumerate(faults, 1):
            started = time.time()
            with Planted(path, number, mutated):
                if not build(directory):
                    verdict = "no build"
                else:
                    caught = failing_tests(directory, arguments.timeout)
                    verdict = "caught by " + ", ".join(caught) if caught else "SURVIVED"
            rows.append((f"{path}:{number}", name, mutated.strip(), verdict))
            print(f"[{index}/{len(faults)}, {time.time() - started:.0f} s] {path}:{number} {name}: {verdict}",
                  file=sys.stderr, flush=True)
    except KeyboardInterrupt:
        interrupted = True
        print("Interrupted: every file is as it was.", file=sys.stderr)
    finally:
        build(directory)  # the tree as it is, for the next run

    print("\n| place | fault | line after | result |\n|---|---|---|---|")
    for place, name, line, verdict in rows:
        print(f"| {place} | {name} | `{line.replace('|', '¦')}` | {verdict} |")
    built = [r for r in rows if r[3] != "no build"]
    caught = [r for r in built if r[3].startswith("caught")]
    if built:
        print(f"\n{len(caught)} of {len(built)} built faults caught ({100 * len(caught) // len(built)}%); "
              f"{len(rows) - len(built)} did not build; {len(built) - len(caught)} survived.")
    return 130 if interrupted else 0


if __name__ == "__main__":
    sys.exit(main())
