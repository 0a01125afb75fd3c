#!/usr/bin/env python3
"""Writes docs/parameters.md, the parameter tables of the three nodes, from the sources, and
tools/sim/src/node_parameter_table.cpp, the same names and types for the hosts' checks.

A name is found where a component declares it (declare_parameter, declareAndGetParameter,
declareNodeParameter, a table of {"name", V(default)} or a helper called as helper("name",
default)) and where one reads it (get_parameter; a name only read takes the type of the member
it is read into). The node is the one whose sources hold the call. With --check the script only
compares the files with what it would write and fails when they differ.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT = ROOT / "docs" / "parameters.md"
TABLE = ROOT / "tools" / "sim" / "src" / "node_parameter_table.cpp"

NODES = [
    ("global_planning", "vantrell_nav2_global_planning", "planning::NavGlobalPlanningServer"),
    ("local_planning", "vantrell_nav2_local_planning", "planning::NavLocalPlanningServer"),
    ("custom_planning", "vantrell_nav2_custom_planning",
     "planning::custom_planning::CustomPlanningServer"),
]
PREFIXES = {"path_monitor.cpp": "path_monitor_server.",
            "water_uptake_path_server.cpp": "water_uptake_path_server."}
NAME = r'(?:name\()?"([a-z][a-z0-9_.]*)"\)?'
DECLARES = [
    re.compile(r'declare_parameter(?:<\w+>)?\(\s*' + NAME + r'\s*,\s*'),
    re.compile(r'declareAndGetParameter\(\s*[\w\->.*]+\s*,\s*' + NAME + r'\s*,\s*'),
    re.compile(r'declareNodeParameter\(\s*[\w\->.*]+\s*,\s*' + NAME + r'\s*,\s*'),
    re.compile(r'\{\s*' + NAME + r'\s*,\s*V\('),
    re.compile(r'\breal\(\s*' + NAME + r'\s*,\s*'),
]
READS = [re.compile(r'get_parameter\(\s*' + NAME),
         re.compile(r'for \(const char\* name : \{([^}]*)\}\)\s*\{\s*node\.get_parameter\(name')]
FUNCTION = re.compile(r'^[\w:<>,*& ]*?\b([A-Z]\w*)::~?\w+\(', re.M)


def argument(text, start):
    """The text of one call argument from `start`, up to the comma or parenthesis closing it."""
    depth, i = 0, start
    while i < len(text):
        c = text[i]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            if depth == 0:
                break
            depth -= 1
        elif c == "," and depth == 0:
            break
        elif c == '"':
            i = text.index('"', i + 1)
        i += 1
    return " ".join(text[start:i].split())


def members():
    """Initial values of members, for a default given as the member itself."""
    found = {}
    for path in (ROOT / "include").rglob("*.hpp"):
        for match in re.finditer(r"\b(\w+_)\{([^{};]*)\};", path.read_text()):
            found.setdefault(match.group(1), match.group(2).strip())
    return found


MEMBERS = members()


def plain(default):
    """The default as a value: wrappers taken off, a member replaced by its initial value."""
    while True:
        wrapped = re.fullmatch(r"(?:rclcpp::ParameterValue|V|std::string)\((.*)\)", default)
        if not wrapped or not wrapped.group(1):
            break
        default = wrapped.group(1)
    default = re.sub(r"^std::vector<int64_t>", "", default)
    return MEMBERS.get(default, default)


def kind(default):
    if default in ("true", "false"):
        return "bool"
    if default.startswith(("std::string", '"')) or default in ("std::vector<double>()",):
        return "string" if "vector" not in default else "double[]"
        return "string"
    if "vector<double>" in default:
        return "double[]"
    if "vector<int64_t>" in default or "vector<int>" in default or default.startswith("{"):
        return "integer[]"
    if re.fullmatch(r"-?\d+", default):
        return "integer"
    return "double"


def owner(text, pos, path):
    found = None
    for match in FUNCTION.finditer(text, 0, pos):
        found = match.group(1)
    return found or path.stem


def scan(directory):
    table = {}
    for path in sorted((ROOT / "src" / directory).rglob("*.cpp")):
        text = path.read_text()
        prefix = PREFIXES.get(path.name, "")
        for pattern in DECLARES:
            for match in pattern.finditer(text):
                name = match.group(1)
                full = prefix + name if match.group(0).count("name(") else name
                default = argument(text, match.end())
                local = re.findall(r"\b" + re.escape(default) + r"\s*=\s*(\w+);", text[:match.start()])
                default = plain(local[-1] if local else default)
                entry = table.setdefault(full, {"defaults": {}, "readers": set()})
                who = owner(text, match.start(), path)
                entry["defaults"].setdefault(default, set()).add(who)
                entry["readers"].add(who)
        # A name held in a variable first: `const std::string v = name("x");`, then declared.
        for match in re.finditer(r'const std::string (\w+) = name\("([a-z_.0-9]+)"\);', text):
            call = re.search(r"declare_parameter\(\s*" + match.group(1) + r"\s*,\s*", text)
            if call:
                entry = table.setdefault(prefix + match.group(2), {"defaults": {}, "readers": set()})
                who = owner(text, call.start(), path)
                entry["defaults"].setdefault(plain(argument(text, call.end())), set()).add(who)
                entry["readers"].add(who)
        for match in READS[0].finditer(text):
            entry = table.get(match.group(1))
            if entry is None:
                entry = table.setdefault(match.group(1), {"defaults": {}, "readers": set()})
            entry["readers"].add(owner(text, match.start(), path))
            into = re.match(r"\s*,\s*(\w+_)\s*\)", text[match.end():])
            if into and into.group(1) in MEMBERS:
                entry.setdefault("read_as", kind(MEMBERS[into.group(1)]))
        for match in READS[1].finditer(text):
            for name in re.findall(r'"([a-z][a-z0-9_.]*)"', match.group(1)):
                entry = table.setdefault(name, {"defaults": {}, "readers": set()})
                entry["readers"].add(owner(text, match.start(), path))
    return table


def type_of(entry):
    if not entry["defaults"]:
        return entry.get("read_as", "")
    return ", ".join(sorted({kind(d) for d in entry["defaults"]}))


PARAMETER_TYPES = {"bool": "PARAMETER_BOOL", "integer": "PARAMETER_INTEGER",
                   "double": "PARAMETER_DOUBLE", "string": "PARAMETER_STRING",
                   "double[]": "PARAMETER_DOUBLE_ARRAY", "integer[]": "PARAMETER_INTEGER_ARRAY"}
ENUMS = {"global_planning": "kGlobal", "local_planning": "kLocal", "custom_planning": "kCustom"}


def render_table():
    lines = ["// The names each planning node's code reads, with the types it reads them as. Written by",
             "// scripts/parameter_table.py from the library's sources; do not edit by hand.",
             '#include "planning_sim/node_parameters.hpp"', "", "namespace planning_sim {", "",
             "const std::map<std::string, rclcpp::ParameterType>& nodeParameterTypes(PlanningNode node) {",
             "  // clang-format off"]
    for directory, _, _ in NODES:
        table = scan(directory)
        lines.append(f"  static const std::map<std::string, rclcpp::ParameterType> {ENUMS[directory][1:].lower()}{{")
        for name in sorted(table):
            lines.append(f'      {{"{name}", rclcpp::{PARAMETER_TYPES[type_of(table[name])]}}},')
        lines.append("  };")
    lines += ["  // clang-format on", "  switch (node) {"]
    for directory, _, _ in NODES:
        lines += [f"    case PlanningNode::{ENUMS[directory]}:", f"      return {ENUMS[directory][1:].lower()};"]
    lines += ["  }", "  throw std::invalid_argument(\"no such planning node\");", "}", "",
              "}  // namespace planning_sim", ""]
    return "\n".join(lines)


def render():
    lines = ["# Parameters of the planning nodes", "",
             "Written by `scripts/parameter_table.py` from the sources; do not edit by hand.",
             "", "Most components declare a name only when it is missing and then read it, so the",
             "first declaration's default holds (a value given to the node from outside replaces",
             "it). Where two components declare one name with different defaults, both are",
             "listed with their declarers; the node's configure order decides which one holds.",
             "", "A host gives a node its values as `NodeOptions` parameter overrides with",
             "`automatically_declare_parameters_from_overrides(true)`, as a parameter file does:",
             "every name below then reaches the node, a name read but declared by no component",
             "included. The static coverage planner's clearance from obstacles is the robot's",
             "half width plus `static_coverage_safe_offset` (0.07 m unless the node carries the",
             "name); the demo and the coverage benchmark set it with",
             "`--param static_coverage_safe_offset=0.23` and refuse a name no node reads.",
             ""]
    for directory, node, cls in NODES:
        table = scan(directory)
        lines += [f'## "{node}" (`{cls}`)', "",
                  "| name | type | default (declared by) | read by |", "|---|---|---|---|"]
        for name in sorted(table):
            entry = table[name]
            types = type_of(entry)
            if not entry["defaults"]:
                # Read here but declared by another component of the node (or not at all).
                defaults = "not declared here"
            else:
                parts = [f"`{d}` ({', '.join(sorted(w))})" for d, w in entry["defaults"].items()]
                defaults = "; ".join(parts)
            readers = ", ".join(sorted(entry["readers"]))
            lines.append(f"| `{name}` | {types} | {defaults} | {readers} |")
        lines.append("")
    return "\n".join(lines)


def main():
    outputs = [(OUT, render()), (TABLE, render_table())]
    if "--check" in sys.argv:
        for path, text in outputs:
            if not path.exists() or path.read_text() != text:
                print(f"{path.relative_to(ROOT)} is stale: run python3 scripts/parameter_table.py")
                return 1
        return 0
    for path, text in outputs:
        path.parent.mkdir(exist_ok=True)
        path.write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
