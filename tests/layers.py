#!/usr/bin/env python3
"""The folders under src/ are layers: a file may include from its own folder and from the
folders below it, never from one above nor from a sibling of the same rank; each folder's
library links only libraries below it; and no file reaches itself through its includes.
Usage: layers.py SRC_DIR; exits 1 naming every fault."""
import os
import re
import sys

# Lowest first. A folder not named here takes the rank of the nearest parent that is; one
# with no named parent is a fault of its own, so a new folder has to be placed here.
RANKS = {
    "platform": 0,
    "common": 1,
    "brx": 2, "readme": 2, "web": 2,
    "install": 3, "setup": 3,
    "managers": 4,
    "windows": 5,
    "windows/install": 6, "windows/managers": 6, "windows/readme": 6, "windows/web": 6,
    "shell": 7,
    "app": 8,
}

# Circles not yet taken apart, each pinned as a set of units (e.g. {"install/A", "install/B"}): a
# new circle fails, and so does one of these grown, shrunk or gone, so the list only gets shorter.
KNOWN_CIRCLES = []

# The library that stands for all the logic, for those who use it whole.
LOGIC = "veldrin_core"

SOURCE = (".h", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_of(path):
    return os.path.dirname(path)


def rank_of(folder):
    while folder:
        if folder in RANKS:
            return folder, RANKS[folder]
        folder = os.path.dirname(folder)
    return None, None


def node_of(path, includes):
    # A header and the .cpp of the same name are one unit, and so is a private header shared by
    # the .cpp files of one class (TransactionPrivate.h, for the InstallTransaction.h it
    # includes): a circle through any of them is a circle.
    stem = os.path.splitext(path)[0]
    if not (path.endswith(".h") and stem.endswith("Private")):
        return stem
    owner = stem[: -len("Private")]
    for target in includes.get(path, ()):
        target_stem = os.path.splitext(target)[0]
        if os.path.dirname(target_stem) == os.path.dirname(stem) and target_stem.endswith(os.path.basename(owner)):
            return target_stem
    return owner


def read_includes(src):
    includes = {}
    for root, _, files in os.walk(src):
        for name in files:
            if not name.endswith(SOURCE):
                continue
            full = os.path.join(root, name)
            rel = os.path.relpath(full, src).replace(os.sep, "/")
            with open(full, encoding="utf-8", errors="replace") as f:
                text = f.read()
            found = []
            for target in INCLUDE.findall(text):
                # As the compiler looks: beside the file first, then from src/. Generated files
                # (.moc) are found in neither and are no part of a layer.
                for base in (os.path.dirname(rel), ""):
                    candidate = os.path.normpath(os.path.join(base, target)).replace(os.sep, "/")
                    if not candidate.startswith("../") and os.path.isfile(os.path.join(src, candidate)):
                        found.append(candidate)
                        break
            includes[rel] = found
    return includes


def layer_faults(includes):
    faults = []
    for source, targets in sorted(includes.items()):
        here, rank = rank_of(folder_of(source))
        if here is None:
            faults.append(f"{source}: its folder has no place in the layer table (tests/layers.py)")
            continue
        for target in targets:
            there, target_rank = rank_of(folder_of(target))
            if there is None or there == here:
                continue
            if target_rank >= rank:
                what = "a sibling layer" if target_rank == rank else "a higher layer"
                faults.append(f"{source} includes {target}: {there}/ is {what} than {here}/")
    return faults


def link_faults(src):
    """Each folder's CMakeLists.txt may link only the libraries of lower folders."""
    top = max(RANKS.values())
    library_rank = {"veldrin_" + folder: rank for folder, rank in RANKS.items() if "/" not in folder}
    library_rank[LOGIC] = max(rank for folder, rank in RANKS.items() if rank < RANKS["windows"])
    faults = []
    link = re.compile(r"target_link_libraries\(\s*(\S+)([^)]*)\)")
    for root, _, files in os.walk(src):
        if "CMakeLists.txt" not in files:
            continue
        path = os.path.join(root, "CMakeLists.txt")
        with open(path, encoding="utf-8") as f:
            text = re.sub(r"#.*", "", f.read())
        for target, listed in link.findall(text):
            rank = library_rank.get(target, top + 1)  # a program links anything
            for used in listed.split():
                if used in library_rank and used != target and library_rank[used] >= rank:
                    faults.append(f"{os.path.relpath(path, src)}: {target} links {used}, which is not below it")
    return faults


def circles(includes):
    graph = {}
    for source, targets in includes.items():
        here = node_of(source, includes)
        edges = graph.setdefault(here, set())
        for target in targets:
            there = node_of(target, includes)
            if there != here:
                edges.add(there)
    # Tarjan's strongly connected components, iteratively (deep trees need no recursion limit).
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = 0
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph.get(start, ()))))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(graph.get(child, ())))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))
    return found


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    includes = read_includes(argv[1])
    if not includes:
        print(f"no sources under {argv[1]}")
        return 2
    faults = layer_faults(includes) + link_faults(argv[1])
    known = [sorted(c) for c in KNOWN_CIRCLES]
    found = circles(includes)
    for component in found:
        if component not in known:
            faults.append("include circle: " + " -> ".join(component))
    for component in known:
        if component not in found:
            faults.append("a known circle has changed or gone, update KNOWN_CIRCLES: " + " -> ".join(component))
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"{len(includes)} files, {sum(map(len, includes.values()))} includes: layers kept, "
          f"no circle" + (f" but the {len(known)} known" if known else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
