#!/usr/bin/env python3
"""Checks every include of the source tree against the layer table (docs/include-rules.txt), and that no two
headers of the tree include each other, directly or through others.

Usage: check-includes.py [--root <tree>] [--rules <file>]
Prints one line per fault (file:line: what it includes and why that is not allowed) and exits 1 when there is
any, 0 when the tree keeps the rules.
"""
import argparse
import os
import re
import sys

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp", ".inc")
# Folders of the tree that hold no sources of ours: the build folders, the fuzz corpora, version control.
SKIPPED_FOLDERS = {".git", "build", "corpus"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

C_STANDARD_HEADERS = {
    "assert.h", "complex.h", "ctype.h", "errno.h", "fenv.h", "float.h", "inttypes.h", "iso646.h", "limits.h",
    "locale.h", "math.h", "setjmp.h", "signal.h", "stdalign.h", "stdarg.h", "stdatomic.h", "stdbool.h",
    "stddef.h", "stdint.h", "stdio.h", "stdlib.h", "stdnoreturn.h", "string.h", "tgmath.h", "threads.h",
    "time.h", "uchar.h", "wchar.h", "wctype.h",
}


class Rules:
    def __init__(self, path):
        self.bare_folders = []
        self.allowed = {}  # folder or file -> list of entries
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                words = line.split("#", 1)[0].split()
                if not words:
                    continue
                if words[0] == "bare":
                    self.bare_folders = words[1:]
                    continue
                if len(words) < 2:
                    sys.exit(f"{path}:{number}: '{words[0]}' names nothing it may include")
                self.allowed[words[0].rstrip("/")] = words[1:]

    def rule_of(self, path):
        """The line of the longest folder (or the file itself) that holds the path; None when none does."""
        best = None
        for place in self.allowed:
            if (path == place or path.startswith(place + "/")) and (best is None or len(place) > len(best)):
                best = place
        return best


def is_standard(name):
    return name in C_STANDARD_HEADERS or ("/" not in name and "." not in name)


def allows(entries, target, name):
    """Whether a rule's entries allow an include that resolved to `target` (a path in the tree, or None for an
    outside header written as `name`)."""
    for entry in entries:
        if entry == "*":
            return True
        if entry.startswith("<"):
            if target is not None:
                continue
            pattern = entry[1:-1]
            if pattern == "*" or (pattern == "std" and is_standard(name)):
                return True
            if name == pattern or (pattern.endswith("/") and name.startswith(pattern)):
                return True
        elif target is not None and (target == entry or target.startswith(entry + "/")):
            return True
    return False


def source_files(root):
    for folder, subfolders, files in os.walk(root):
        subfolders[:] = sorted(d for d in subfolders if d not in SKIPPED_FOLDERS and not d.startswith("."))
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")


def bare_headers(bare_folders, known):
    """Where each bare name lives below the folders of bare names: a stand-in split into sub-folders (win32 by
    DLL, afx and nt by concern) puts each sub-folder on the include path too, so "WinMenus.h" is found in
    platform/win32/user32. Maps a name (as written after a bare folder's sub-folder) to its paths, in the order
    of the bare folders."""
    found = {}
    for folder in bare_folders:
        for path in sorted(known):
            if not path.startswith(folder + "/"):
                continue
            inner = path[len(folder) + 1:].split("/")
            for cut in range(1, len(inner)):
                found.setdefault("/".join(inner[cut:]), []).append(path)
    return found


def resolve(root, includer, name, bare_folders, known, below_bare):
    """The tree path an include names, searched as the compiler does: beside the includer (quoted includes), from
    the tree's root, in the folders of bare names, then in their sub-folders. None for an outside header."""
    here = os.path.dirname(includer)
    candidates = ([os.path.join(here, name)] if here else [name]) + [name]
    candidates += [os.path.join(folder, name) for folder in bare_folders]
    for candidate in candidates:
        candidate = os.path.normpath(candidate).replace(os.sep, "/")
        if candidate in known:
            return candidate
    paths = below_bare.get(os.path.normpath(name).replace(os.sep, "/"))
    return paths[0] if paths else None


def ambiguous_bare_names(bare_folders, below_bare, known):
    """Faults for header names that two files below one bare folder share: which one a bare include reaches
    would hang on the order of the include directories."""
    faults = []
    for name, paths in sorted(below_bare.items()):
        if "/" in name or not name.endswith((".h", ".hpp")):
            continue
        for folder in bare_folders:
            mine = [p for p in paths if p.startswith(folder + "/")]
            if os.path.join(folder, name) in known:
                mine.insert(0, folder + "/" + name)
            if len(mine) > 1:
                faults.append(f"{name}: one bare name for {', '.join(mine)}")
    return faults


def find_cycle(graph):
    """One include cycle among the headers as a list of paths, or None."""
    state = {}  # path -> 1 while on the walk, 2 when done
    for start in sorted(graph):
        if start in state:
            continue
        walk = [(start, iter(sorted(graph[start])))]
        state[start] = 1
        while walk:
            node, edges = walk[-1]
            following = next(edges, None)
            if following is None:
                state[node] = 2
                walk.pop()
            elif state.get(following) == 1:
                path = [n for n, _ in walk]
                return path[path.index(following):] + [following]
            elif following not in state:
                state[following] = 1
                walk.append((following, iter(sorted(graph.get(following, ())))))
    return None


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(here))
    parser.add_argument("--rules")
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    rules = Rules(args.rules or os.path.join(root, "docs", "include-rules.txt"))

    files = list(source_files(root))
    known = set(files)
    below_bare = bare_headers(rules.bare_folders, known)
    faults = ambiguous_bare_names(rules.bare_folders, below_bare, known)
    header_graph = {}
    for path in files:
        place = rules.rule_of(path)
        if place is None:
            faults.append(f"{path}: no line of the include rules holds this file")
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                quote, name = match.groups()
                target = resolve(root, path if quote == '"' else "", name, rules.bare_folders, known, below_bare)
                if target is not None and path.endswith((".h", ".hpp")) and target.endswith((".h", ".hpp")):
                    header_graph.setdefault(path, set()).add(target)
                if not allows(rules.allowed[place], target, name):
                    what = target if target is not None else f"<{name}> from outside the tree"
                    faults.append(f"{path}:{number}: includes {what}, which {place} may not include")

    cycle = find_cycle(header_graph)
    if cycle:
        faults.append("include cycle: " + " -> ".join(cycle))
    for fault in faults:
        print(fault)
    sys.stdout.flush()
    if faults:
        print(f"include rules: {len(faults)} fault(s); the rules are in docs/include-rules.txt", file=sys.stderr)
        return 1
    print(f"include rules: {len(files)} files keep the rules")
    return 0


if __name__ == "__main__":
    sys.exit(main())
