#!/usr/bin/env python3
"""Runs the batch tool's examples in README.md and writes or checks the outputs shown there.

An example is an indented block that follows a marker line

    <!-- output -->                  the whole output of each command
    <!-- output keep='REGEX' -->     only the lines matching REGEX, "..." where lines were left out
    <!-- output from='A' to='B' -->  the lines from the first matching A to the first after it
                                     matching B (either may be left out), "..." for the rest

and whose commands start with "$ " (a trailing backslash continues one onto the next line).
Every command runs with bash in a scratch folder that holds a link to examples/, with
build-release/src/cli/quorvane-cli standing for the tool given by --cli; standard error is
shown after standard output, carriage returns are dropped.

    tools/doc_examples.py --cli build/src/cli/quorvane-cli           # check: a diff and exit 1 if stale
    tools/doc_examples.py --cli build/src/cli/quorvane-cli --write   # write the outputs into README.md
"""

import argparse
import difflib
import os
import re
import shlex
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TOOL_IN_TEXT = "build-release/src/cli/quorvane-cli"
INDENT = "    "
MARKER = re.compile(r"^<!-- output(?P<options>.*?)-->\s*$")


def parse_options(text):
    options = {}
    for word in shlex.split(text):
        key, sep, value = word.partition("=")
        if not sep or key not in ("keep", "from", "to"):
            raise ValueError(f"unknown output option {word!r}")
        options[key] = re.compile(value)
    return options


def run(command, tool, scratch):
    shell = command.replace(TOOL_IN_TEXT, shlex.quote(str(tool)))
    done = subprocess.run(["bash", "-c", shell], cwd=scratch, capture_output=True,
                          text=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"),
                          check=False)
    lines = (done.stdout + done.stderr).replace("\r", "").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def shown(lines, options):
    first, last = 0, len(lines)
    if "from" in options:
        first = next((n for n, line in enumerate(lines) if options["from"].search(line)), last)
    if "to" in options:
        last = next((n + 1 for n in range(first, last) if options["to"].search(lines[n])), last)
    keep = options.get("keep")
    result = []
    for n, line in enumerate(lines):
        if first <= n < last and (keep is None or keep.search(line)):
            result.append(line)
        elif not result or result[-1] != "...":
            result.append("...")
    return result


def commands_of(block):
    """The commands of a block, each as (its lines as written, its text for the shell)."""
    commands, current = [], None
    for line in block:
        body = line[len(INDENT):]
        if current is not None and current[0][-1].endswith("\\"):
            current[0].append(body)
            continue
        if body.startswith("$ "):
            current = ([body], None)
            commands.append(current)
    return [(written, "\n".join(written)[2:]) for written, _ in commands]


def regenerate(text, tool, scratch):
    lines = text.split("\n")
    out, i = [], 0
    while i < len(lines):
        out.append(lines[i])
        marker = MARKER.match(lines[i])
        i += 1
        if not marker:
            continue
        options = parse_options(marker["options"])
        while i < len(lines) and lines[i] == "":
            out.append(lines[i])
            i += 1
        start = i
        while i < len(lines) and (lines[i].startswith(INDENT) or lines[i] == ""):
            i += 1
        while i > start and lines[i - 1] == "":
            i -= 1
        commands = commands_of(lines[start:i])
        if not commands:
            raise ValueError(f"README.md line {start + 1}: no command after the marker")
        for n, (written, shell) in enumerate(commands):
            if n:
                out.append("")
            out.extend(INDENT + line for line in written)
            out.extend((INDENT + line).rstrip() for line in shown(run(shell, tool, scratch), options))
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cli", required=True, type=Path, help="the batch tool to run")
    parser.add_argument("--readme", type=Path, default=ROOT / "README.md")
    parser.add_argument("--write", action="store_true", help="write the outputs into the file")
    args = parser.parse_args()
    tool = args.cli.resolve()
    if not os.access(tool, os.X_OK):
        sys.exit(f"doc_examples: {tool} is not a program")
    text = args.readme.read_text(encoding="utf-8")
    with tempfile.TemporaryDirectory() as scratch:
        os.symlink(ROOT / "examples", Path(scratch) / "examples")
        new = regenerate(text, tool, scratch)
    if args.write:
        if new != text:
            args.readme.write_text(new, encoding="utf-8")
        return 0
    if new == text:
        return 0
    sys.stdout.writelines(difflib.unified_diff(text.splitlines(True), new.splitlines(True),
                                               str(args.readme), "as the tool prints it"))
    print(f"\n{args.readme.name}'s examples are stale: run tools/doc_examples.py --write", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
