#!/usr/bin/env python3
"""Fits the lines of a build or of a CTest run to the terminal, for the test and run commands.

    fit-lines.py build <header>   ninja's lines, read from standard input. A build with nothing to do (or with
                                  only the check of the source folders, or CMake's run) prints nothing at all;
                                  otherwise <header> comes first. On a terminal the progress lines rewrite one
                                  line; elsewhere each is cut to the width.
    fit-lines.py tests            CTest's lines: each test's result as its number, status, seconds and name,
                                  the name (without a parameter's value) shortened in the middle to fit;
                                  the start lines are left out.

Every other line (a compiler's message, a failing test's own output) passes as it is. The width is 100
columns, or the terminal's when that is narrower.
"""
import re
import shutil
import sys

WIDTH = 100

PROGRESS = re.compile(r"^\[(\d+)/(\d+)\] (.*)$")
QUIET = re.compile(
    r"^(ninja: no work to do\.|ninja: Entering directory|-- |\[\d+/\d+\] (Re-checking globbed directories|Re-running CMake))"
)
# A parameterized test's name goes on with "  # GetParam() = <its value>"; CTest pads a name with dots.
RESULT = re.compile(
    r"^\s*(\d+)/(\d+) Test\s+#\d+: (\S+(?:\s+# GetParam\(\) = .*?)?) \.+\s*((?:\*\*\*)?[A-Za-z].*?)\s+([\d.]+) sec$"
)
START = re.compile(r"^\s*Start\s+\d+: ")
FAILED_NAME = re.compile(r"^(\s*\d+ - )(.+?)( \([^()]*\))$")
PARAMETER = re.compile(r"\s+# GetParam\(\) = .*$")


def width():
    if sys.stdout.isatty():
        return min(WIDTH, shutil.get_terminal_size((WIDTH, 24)).columns)
    return WIDTH


def shortened(text, room):
    """The text, its middle given up for "..." when it is longer than `room`."""
    if len(text) <= room:
        return text
    if room <= 3:
        return text[: max(room, 0)]
    head = (room - 3) // 2
    return text[:head] + "..." + text[len(text) - (room - 3 - head):]


def build(header):
    said = False
    status = False  # a progress line is on the terminal, not yet ended
    tty = sys.stdout.isatty()
    for line in sys.stdin:
        line = line.rstrip("\n")
        if QUIET.match(line):
            continue
        if not said:
            print(header, flush=True)
            said = True
        if PROGRESS.match(line):
            if tty:
                sys.stdout.write("\r" + shortened(line, width() - 1) + "\033[K")
                status = True
            else:
                print(shortened(line, width()))
        else:
            if status:
                sys.stdout.write("\n")
                status = False
            print(line)
        sys.stdout.flush()
    if status:
        sys.stdout.write("\n")


def tests():
    failed_list = False  # within the list of failed tests at the end
    for line in sys.stdin:
        line = line.rstrip("\n").expandtabs()
        if START.match(line):
            continue
        result = RESULT.match(line)
        failed = FAILED_NAME.match(line) if failed_list else None
        if result:
            number, total, name, status, seconds = result.groups()
            front = "%*s/%s %-11s %7s s  " % (len(total) + 2, number, total, status, seconds)
            line = front + shortened(PARAMETER.sub("", name), width() - len(front))
        elif failed:
            head, name, tail = failed.groups()
            line = head + shortened(PARAMETER.sub("", name), width() - len(head) - len(tail)) + tail
        failed_list = failed_list or line.startswith("The following tests FAILED:")
        print(line, flush=True)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "build":
        build(sys.argv[2])
    elif len(sys.argv) == 2 and sys.argv[1] == "tests":
        tests()
    else:
        sys.exit("usage: fit-lines.py build <header> | fit-lines.py tests")


if __name__ == "__main__":
    main()
