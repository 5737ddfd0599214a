#!/usr/bin/env python3
"""Checks the floors of src/ and prints each folder's includes.

Fails (exit 1) on an include that points up a floor or sideways outside the plan, on an unsuffixed
file that includes <windows.h> or a _win.h header, and on parts that include each other, directly or
round a circle (a part is a .h with its .cpp, e.g. rules/rule_store). Given a build's folder of
src/ objects and its nm, also on source files that call each other (one defines what the other uses),
which a header shared by two .cpp files hides from the include check.
Usage: check_includes.py SRC [OBJECTS NM]
"""
import collections
import os
import re
import subprocess
import sys

# What each folder may include besides itself. res/ holds the numbers shared with the .rc file and
# includes nothing, so every floor may read them.
BELOW = {
    "base": set(),
    "settings": {"base"},
    "rules": {"base", "settings"},
    "monitor": {"base", "settings", "rules"},
    "alerts": {"base", "settings", "rules", "monitor"},
    "metrics": {"base", "settings", "monitor"},
    "update": {"base", "settings"},
    "ui/widgets": {"base", "settings"},
    "ui": {"base", "settings", "rules", "monitor", "alerts", "metrics", "update", "ui/widgets"},
    "app": {"base", "settings", "rules", "monitor", "alerts", "metrics", "update", "ui/widgets", "ui"},
    "res": set(),
}
ALWAYS = {"res"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)


def folder_of(path):
    return os.path.dirname(path).replace(os.sep, "/")


def part_of(path):
    return os.path.splitext(path)[0]


def is_windows_file(path):
    return part_of(path).endswith("_win")


def read_includes(src):
    """{file: [(kind, target)]} for every .h/.cpp under src, paths relative to src."""
    result = {}
    for root, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith((".h", ".cpp")):
                continue
            full = os.path.join(root, name)
            rel = os.path.relpath(full, src).replace(os.sep, "/")
            with open(full, encoding="utf-8") as f:
                text = f.read()
            found = []
            for kind, target in INCLUDE.findall(text):
                if kind == '"' and "/" not in target:
                    target = (folder_of(rel) + "/" + target).lstrip("/")
                found.append((kind, target))
            result[rel] = found
    return result


def circles(edges):
    """Strongly connected parts with more than one member (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(edges.get(node, ())):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            member, group = None, []
            while member != node:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
            if len(group) > 1:
                found.append(sorted(group))

    sys.setrecursionlimit(10000)
    for node in sorted(edges):
        if node not in index:
            visit(node)
    return found


def call_edges(objects, nm):
    """{source: sources whose definitions it uses}, from the symbols of each object file."""
    defined, used = {}, {}
    for root, _, names in os.walk(objects):
        for name in names:
            if not name.endswith((".o", ".obj")) or ".dir/" not in os.path.join(root, name):
                continue
            path = os.path.join(root, name)
            source = path.split(".dir/", 1)[1].rsplit(".", 1)[0]
            listing = subprocess.run([nm, "-P", path], capture_output=True, text=True, check=True).stdout
            defined[source], used[source] = set(), set()
            for line in listing.splitlines():
                fields = line.split()
                if len(fields) >= 2:
                    if fields[1] in "TDBR":
                        defined[source].add(fields[0])
                    elif fields[1] == "U":
                        used[source].add(fields[0])
    owners = collections.defaultdict(set)
    for source, symbols in defined.items():
        for symbol in symbols:
            owners[symbol].add(source)
    edges = collections.defaultdict(set)
    for source, symbols in used.items():
        for symbol in symbols:
            # Inline and template code is emitted by every user; only a single definition is a call.
            if len(owners.get(symbol, ())) == 1:
                edges[source] |= owners[symbol] - {source}
    return edges


def check(src, objects=None, nm=None):
    includes = read_includes(src)
    faults = []
    per_folder = collections.defaultdict(collections.Counter)
    part_edges = collections.defaultdict(set)
    for path, found in sorted(includes.items()):
        here = folder_of(path)
        if here not in BELOW:
            faults.append(f"{path}: folder {here or '.'} is not a floor of the plan")
            continue
        for kind, target in found:
            if kind == "<":
                if target.lower() == "windows.h" and not is_windows_file(path):
                    faults.append(f"{path}: an unsuffixed file includes <windows.h>")
                continue
            if target not in includes:
                faults.append(f"{path}: includes {target}, which is not under src/")
                continue
            there = folder_of(target)
            per_folder[here][there] += 1
            if there != here and there not in BELOW[here] and there not in ALWAYS:
                faults.append(f"{path}: includes {target}, {there}/ is not below {here}/")
            if here == "res":
                faults.append(f"{path}: res/ includes nothing of src/ ({target})")
            if is_windows_file(target) and not is_windows_file(path):
                faults.append(f"{path}: an unsuffixed file includes the Windows header {target}")
            if part_of(target) != part_of(path):
                part_edges[part_of(path)].add(part_of(target))
    for group in circles(part_edges):
        faults.append("parts include each other: " + " <-> ".join(group))
    if objects:
        edges = call_edges(objects, nm)
        for group in circles(edges):
            faults.append("files call each other: " + " <-> ".join(group))
    return faults, per_folder


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    objects, nm = (sys.argv[2], sys.argv[3]) if len(sys.argv) > 3 else (None, None)
    faults, per_folder = check(src, objects, nm)
    for here in sorted(per_folder):
        counts = per_folder[here]
        print(f"{here + '/':12} -> " + ", ".join(f"{t}/ {counts[t]}" for t in sorted(counts)))
    for fault in faults:
        print("FAULT " + fault)
    print(f"{len(faults)} include faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
