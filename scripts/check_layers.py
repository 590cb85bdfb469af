#!/usr/bin/env python3
"""Fails when an #include "..." under src/ goes against the layer table of
docs/architecture.md: a subsystem includes only subsystems of lower layers,
the same-layer links listed below, and the exceptions listed below. It also
fails on any cycle among the same-layer links actually used.

Usage: check_layers.py [SRC_DIR]   (default: src next to this script's folder)
"""
import os
import re
import sys

# Lowest first. A subsystem is a folder of src/; src/script/bindings is one of
# its own, and src/main.cpp belongs to app.
LAYERS = [
    ["platform", "core"],
    ["collision", "overlay", "sound", "camera", "script"],
    ["world"],
    ["states", "bindings"],
    ["app"],
]

# Links within a layer, (from, to). Keep them few.
SAME_LAYER = {
    ("script", "overlay"),  # the error reporter shows its panel through the overlay manager
    ("camera", "collision"),  # the follow camera is kept out of level geometry by a ray
}

# The application object, reachable from the two layers that may use it.
EXCEPTIONS = {
    ("states", "app/GameApp.h"),
    ("bindings", "app/GameApp.h"),
}

LAYER_OF = {name: index for index, layer in enumerate(LAYERS) for name in layer}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def subsystem(relative):
    parts = relative.split("/")
    if len(parts) == 1:
        return "app"  # main.cpp
    if parts[0] == "script" and len(parts) > 2 and parts[1] == "bindings":
        return "bindings"
    return parts[0]


def find_cycle(edges):
    graph = {}
    for a, b in edges:
        graph.setdefault(a, set()).add(b)
    state = {}

    def visit(node, path):
        state[node] = "open"
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                return path + [node, nxt]
            if nxt not in state:
                found = visit(nxt, path + [node])
                if found:
                    return found
        state[node] = "done"
        return None

    for start in sorted(graph):
        if start not in state:
            found = visit(start, [])
            if found:
                return found
    return None


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src")
    problems = []
    used_same_layer = set()
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, src).replace(os.sep, "/")
            source = subsystem(relative)
            if source not in LAYER_OF:
                problems.append("%s: folder %s is in no layer" % (relative, source))
                continue
            with open(path, errors="replace") as text:
                includes = INCLUDE.findall(text.read())
            for target_path in includes:
                target = subsystem(target_path)
                if target not in LAYER_OF:
                    problems.append("%s: includes %s, which is in no layer" % (relative, target_path))
                    continue
                if target == source or LAYER_OF[target] < LAYER_OF[source]:
                    continue
                if (source, target_path) in EXCEPTIONS:
                    continue
                if LAYER_OF[target] == LAYER_OF[source] and (source, target) in SAME_LAYER:
                    used_same_layer.add((source, target))
                    continue
                problems.append("%s (%s, layer %d) includes %s (%s, layer %d)" % (
                    relative, source, LAYER_OF[source] + 1, target_path, target,
                    LAYER_OF[target] + 1))
    cycle = find_cycle(used_same_layer)
    if cycle:
        problems.append("cycle between subsystems of one layer: " + " -> ".join(cycle))
    for problem in problems:
        print("layer check: " + problem)
    if problems:
        return 1
    print("layer check: every include follows the layer table")
    return 0


sys.exit(main())
