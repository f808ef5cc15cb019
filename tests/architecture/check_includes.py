#!/usr/bin/env python3
"""The arrows between the program's files: nothing below the window's folder includes from
it, the lowest layers include only from beneath themselves, and no two files of app/,
update/ or archive/ reach each other in a circle. A header and its source count as one file.

    check_includes.py SOURCE_DIR
"""
import os
import re
import sys

BELOW_APP = ["archive", "catalogue", "game", "update", "platform", "launcher", "resources", "shell"]
NO_CIRCLES = ["app", "update", "archive"]
# What the lowest layers may include.
ONLY_DOWN = {"platform": {"platform"}, "shell": {"shell", "platform"}, "game": {"game", "platform"}}
AREAS = set(BELOW_APP + NO_CIRCLES)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def units(root):
    found = {}
    for area in set(BELOW_APP + NO_CIRCLES):
        folder = os.path.join(root, area)
        for base, _, files in os.walk(folder):
            for f in files:
                if f.endswith((".h", ".cpp")):
                    path = os.path.join(base, f)
                    unit = os.path.splitext(os.path.relpath(path, root))[0]
                    text = open(path, encoding="utf-8", errors="replace").read()
                    found.setdefault(unit, set()).update(
                        os.path.splitext(i)[0] for i in INCLUDE.findall(text))
    return found


def main():
    root = sys.argv[1]
    graph = units(root)
    problems = []
    for unit, includes in sorted(graph.items()):
        if unit.split("/")[0] in BELOW_APP:
            problems += [f"{unit} includes {i} from app/" for i in sorted(includes) if i.startswith("app/")]
        allowed = ONLY_DOWN.get(unit.split("/")[0])
        if allowed:
            problems += [f"{unit} includes {i} from above it" for i in sorted(includes)
                         if i.split("/")[0] in AREAS and i.split("/")[0] not in allowed]
    # Circles: strongly connected groups of more than one file, within the watched areas.
    watched = {u: {i for i in inc if i in graph and i != u and i.split("/")[0] in NO_CIRCLES}
               for u, inc in graph.items() if u.split("/")[0] in NO_CIRCLES}
    index, low, stack, on, groups = {}, {}, [], set(), []

    def visit(u):
        index[u] = low[u] = len(index)
        stack.append(u)
        on.add(u)
        for v in watched[u]:
            if v not in index:
                visit(v)
                low[u] = min(low[u], low[v])
            elif v in on:
                low[u] = min(low[u], index[v])
        if low[u] == index[u]:
            group = []
            while True:
                v = stack.pop()
                on.discard(v)
                group.append(v)
                if v == u:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    sys.setrecursionlimit(10000)
    for u in sorted(watched):
        if u not in index:
            visit(u)
    problems += ["files that include each other in a circle: " + " <-> ".join(g) for g in groups]
    print(f"{len(graph)} files read")
    if problems:
        sys.exit("\n".join(problems))


if __name__ == "__main__":
    main()
