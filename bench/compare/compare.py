#!/usr/bin/python3
"""Times libtam against the two Kconfig tools Debian ships, on one generated problem.

The problem has N options in groups of four: a logical that defaults to true, an integer in 1..10
set from it, a string with a default, and a logical set when the integer exceeds 3, which forces
the next group's logical on. It is written twice: as a Kconfig tree (one file per hundred options,
sourced from a top file) and as RIX modules of a hundred options each, with a product file that
hangs one node per module under a root. Within a module the forcing runs from each group to the
next and ends at the module's last group, so no chain loops (the Kconfig tools refuse a select
cycle).

Every tool is first run once and its values compared, option by option, with the others; then the
tools are timed in turns (each round runs every tool once, so load on the machine hits them all
alike), and the minimum and median wall time, the peak resident memory and the ratios to
kconfig-conf are printed.

  /usr/bin/python3 bench/compare/compare.py --tam build/tools/tam \\
      --host build/bench/tam_compare_host 10000 100000 [--rounds 5] [--work DIR] \\
      [--baseline-tam OLD/tools/tam --baseline-host OLD/bench/tam_compare_host]

Needs GNU time (Debian time), kconfig-conf (Debian kconfig-frontends-nox) and kconfiglib (Debian python3-kconfiglib);
`bash scripts/install-deps.sh --compare` installs them. Exits 1 when the tools disagree.
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

GNU_TIME = "/usr/bin/time"
OPTIONS_PER_MODULE = 100
OPTIONS_PER_GROUP = 4
GROUPS_PER_MODULE = OPTIONS_PER_MODULE // OPTIONS_PER_GROUP
INTEGER_LOW, INTEGER_HIGH = 1, 10
FORCING_THRESHOLD = 3  # the integer above which the group's last logical is set

KCONFIGLIB_RUNNER = """
import sys
import kconfiglib
kconf = kconfiglib.Kconfig(sys.argv[1], warn=False)
kconf.write_config(sys.argv[2], header="")
"""


def integer_of(group):
    """The value the integer of a group is set to while its logical is on."""
    return (group * 7) % INTEGER_HIGH + INTEGER_LOW


def kconfig_module(module):
    lines = []
    for local in range(GROUPS_PER_MODULE):
        group = module * GROUPS_PER_MODULE + local
        name = "M%d_" % module
        lines += ["config %sA%d" % (name, local), '\tbool "logical %d"' % group, "\tdefault y", ""]
        lines += ["config %sB%d" % (name, local), '\tint "integer %d"' % group,
                  "\trange %d %d" % (INTEGER_LOW, INTEGER_HIGH),
                  "\tdefault %d if %sA%d" % (integer_of(group), name, local),
                  "\tdefault %d" % INTEGER_LOW, ""]
        lines += ["config %sC%d" % (name, local), '\tstring "string %d"' % group,
                  '\tdefault "s%d"' % group, ""]
        lines += ["config %sD%d" % (name, local), "\tbool",
                  "\tdefault y if %sB%d > %d" % (name, local, FORCING_THRESHOLD)]
        if local + 1 < GROUPS_PER_MODULE:
            lines.append("\tselect %sA%d" % (name, local + 1))
        lines.append("")
    return "\n".join(lines)


def rix_module(module):
    mid = "m%d" % module
    lines = ["module " + mid, "interface start"]
    for local in range(GROUPS_PER_MODULE):
        group = module * GROUPS_PER_MODULE + local
        lines += ["public a%d logical default true" % local,
                  "public b%d integer = %d to %d default %d" % (local, INTEGER_LOW, INTEGER_HIGH,
                                                              INTEGER_LOW),
                  'public c%d string default "s%d"' % (local, group),
                  "public d%d logical default false" % local]
    lines.append("interface end")
    for local in range(GROUPS_PER_MODULE):
        group = module * GROUPS_PER_MODULE + local
        lines.append("if %s:a%d then set %s:b%d to %d endif" % (mid, local, mid, local,
                                                               integer_of(group)))
        lines.append("if %s:b%d > %d then set %s:d%d to true endif" % (mid, local,
                                                                      FORCING_THRESHOLD, mid,
                                                                      local))
        if local + 1 < GROUPS_PER_MODULE:
            lines.append("if %s:d%d then set %s:a%d to true endif" % (mid, local, mid, local + 1))
    return "\n".join(lines) + "\n"


def generate(n, folder):
    """Writes the problem with n options into folder; returns the number of modules."""
    modules = n // OPTIONS_PER_MODULE
    os.makedirs(os.path.join(folder, "kconfig"), exist_ok=True)
    os.makedirs(os.path.join(folder, "modules"), exist_ok=True)
    top = ['mainmenu "comparison, %d options"' % n, ""]
    for module in range(modules):
        with open(os.path.join(folder, "kconfig", "m%d.kconfig" % module), "w") as out:
            out.write(kconfig_module(module))
        top.append('source "kconfig/m%d.kconfig"' % module)
        with open(os.path.join(folder, "modules", "m%d.rix" % module), "w") as out:
            out.write(rix_module(module))
    with open(os.path.join(folder, "Kconfig"), "w") as out:
        out.write("\n".join(top) + "\n")
    product = {
        "name": "comparison, %d options" % n,
        "module_folders": ["modules"],
        "root": {"id": "product",
                 "children": [{"id": "m%d" % m, "module": "m%d" % m} for m in range(modules)]},
    }
    with open(os.path.join(folder, "product.json"), "w") as out:
        json.dump(product, out, indent=1)
    with open(os.path.join(folder, "kconfiglib_run.py"), "w") as out:
        out.write(KCONFIGLIB_RUNNER)
    return modules


# Every tool's values end up as {"m<k>:<a|b|c|d><local>": text}, logicals as true/false.
KCONFIG_LETTER = {"A": "a", "B": "b", "C": "c", "D": "d"}


def kconfig_values(path):
    """An invisible logical that is off is left out of the file: such options read false."""
    values = {}
    with open(path) as text:
        for line in text:
            line = line.strip()
            if line.startswith("# CONFIG_") and line.endswith(" is not set"):
                name, value = line[len("# CONFIG_"):-len(" is not set")], "false"
            elif line.startswith("CONFIG_"):
                name, value = line[len("CONFIG_"):].split("=", 1)
                value = {"y": "true", "n": "false"}.get(value, value)
                if value.startswith('"'):
                    value = value[1:-1]
            else:
                continue
            module, option = name.split("_", 1)
            values["m%s:%s%s" % (module[1:], KCONFIG_LETTER[option[0]], option[1:])] = value
    for name in [k for k in values if ":a" in k]:
        values.setdefault(name.replace(":a", ":d"), "false")
    return values


def tam_text_values(path):
    values = {}
    with open(path) as text:
        for line in text:
            if not line.startswith("  m") or " = " not in line:
                continue
            option, rest = line.strip().split(" = ", 1)
            value = rest.rsplit(" (", 1)[0]
            values[option] = value[1:-1] if value.startswith('"') else value
    return values


def tam_json_values(path):
    with open(path) as text:
        document = json.load(text)
    values = {}
    for node in document["nodes"]:
        for option in node.get("options", []):
            value = option["values"][0]["value"]
            values[option["option"]] = str(value).lower() if isinstance(value, bool) else str(value)
    return values


def host_values(path):
    values = {}
    with open(path) as text:
        for line in text:
            option, value = line.rstrip("\n").split("=", 1)
            values[option] = value
    return values


class Tool:
    def __init__(self, name, command, output, reader, cwd, env=None, output_file=None):
        self.name, self.command, self.output, self.reader = name, command, output, reader
        self.cwd, self.env, self.output_file = cwd, env, output_file
        self.times, self.memory = [], []

    def run(self):
        """Runs the tool once; returns (seconds, peak resident KiB)."""
        if self.output_file and os.path.exists(self.output_file):
            os.remove(self.output_file)  # kconfig-conf would start from the last run's file
        errors, peak = self.output + ".err", self.output + ".peak"
        # GNU time measures the peak: a child of this script would count the script's own pages
        # from before its exec.
        command = [GNU_TIME, "-f", "%M", "-o", peak] + self.command
        with open(self.output, "w") as out, open(errors, "w") as err:
            start = time.perf_counter()
            process = subprocess.Popen(command, cwd=self.cwd, env=self.env, stdout=out, stderr=err)
            process.wait()
            seconds = time.perf_counter() - start
        if process.returncode != 0:
            with open(errors) as err:
                sys.exit("%s failed (exit %d): %s\n%s" % (self.name, process.returncode,
                                                          " ".join(self.command), err.read()))
        with open(peak) as text:
            return seconds, int(text.read().split()[-1])

    def values(self):
        return self.reader(self.output_file or self.output)


def make_tools(args, folder, modules):
    env = dict(os.environ, KCONFIG_CONFIG=os.path.join(folder, "kconf.config"), srctree=folder)
    tools = [
        Tool("kconfig-conf", [args.kconfig_conf, "--olddefconfig", "Kconfig"],
             os.path.join(folder, "kconf.out"), kconfig_values, folder, env,
             os.path.join(folder, "kconf.config")),
        Tool("kconfiglib", [args.python, "kconfiglib_run.py", "Kconfig", "kconfiglib.config"],
             os.path.join(folder, "kconfiglib.out"), kconfig_values, folder, env,
             os.path.join(folder, "kconfiglib.config")),
        Tool("minimal host", [args.host, "modules", str(modules)],
             os.path.join(folder, "host.out"), host_values, folder),
        Tool("tam eval", [args.tam, "eval", "product.json"], os.path.join(folder, "tam.out"),
             tam_text_values, folder),
        Tool("tam eval --json", [args.tam, "eval", "--json", "product.json"],
             os.path.join(folder, "tam-json.out"), tam_json_values, folder),
    ]
    if args.baseline_tam:
        tools += [
            Tool("tam eval [base]", [args.baseline_tam, "eval", "product.json"],
                 os.path.join(folder, "tam-base.out"), tam_text_values, folder),
            Tool("--json [base]", [args.baseline_tam, "eval", "--json", "product.json"],
                 os.path.join(folder, "tam-json-base.out"), tam_json_values, folder),
        ]
    if args.baseline_host:
        tools.append(Tool("host [base]", [args.baseline_host, "modules", str(modules)],
                          os.path.join(folder, "host-base.out"), host_values, folder))
    return [t for t in tools if t.name not in args.skip]


def check_agreement(tools, n):
    reference = None
    for tool in tools:
        tool.run()
        values = tool.values()
        if len(values) != n:
            sys.exit("%s gave %d values for %d options" % (tool.name, len(values), n))
        if reference is None:
            reference = (tool.name, values)
            continue
        differing = [k for k in reference[1] if values.get(k) != reference[1][k]]
        if differing:
            k = differing[0]
            sys.exit("%s and %s disagree on %d options, first %s: %r against %r" % (
                reference[0], tool.name, len(differing), k, reference[1][k], values.get(k)))
    print("all %d tools agree on all %d options" % (len(tools), n))


def report(tools, n):
    base = min(tools[0].times)
    print("%-16s %10s %10s %10s %8s %12s" % ("tool", "min ms", "median ms", "peak MiB",
                                               "min/kc", "B/option"))
    for tool in tools:
        low, mid, peak = min(tool.times), statistics.median(tool.times), max(tool.memory)
        print("%-16s %10.1f %10.1f %10.1f %8.3f %12.0f" % (
            tool.name, low * 1e3, mid * 1e3, peak / 1024.0, low / base, peak * 1024.0 / n))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("sizes", nargs="+", type=int, help="numbers of options (multiples of 100)")
    parser.add_argument("--tam", required=True, help="the tam command")
    parser.add_argument("--host", required=True, help="the minimal host (tam_compare_host)")
    parser.add_argument("--kconfig-conf", default="kconfig-conf")
    parser.add_argument("--python", default="/usr/bin/python3")
    parser.add_argument("--baseline-tam", help="another tam to time beside (an older build)")
    parser.add_argument("--baseline-host", help="another minimal host to time beside")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--skip", action="append", default=[], help="leave a tool out by name")
    parser.add_argument("--work", help="folder for the generated files (default: a temporary one)")
    args = parser.parse_args()
    for name in ("tam", "host", "kconfig_conf", "python", "baseline_tam", "baseline_host"):
        if getattr(args, name) is None:
            continue
        found = shutil.which(getattr(args, name))
        if found is None:
            sys.exit("not found: %s (see the usage at the top of this script)" % getattr(args, name))
        setattr(args, name, os.path.abspath(found))
    for n in args.sizes:
        if n <= 0 or n % OPTIONS_PER_MODULE:
            sys.exit("sizes must be positive multiples of %d: %d" % (OPTIONS_PER_MODULE, n))
    work = args.work or tempfile.mkdtemp(prefix="tam-compare-")
    try:
        for n in args.sizes:
            folder = os.path.join(work, "n%d" % n)
            modules = generate(n, folder)
            tools = make_tools(args, folder, modules)
            print("\nN = %d (%d modules), %d rounds" % (n, modules, args.rounds))
            check_agreement(tools, n)
            for _ in range(args.rounds):
                for tool in tools:
                    seconds, peak = tool.run()
                    tool.times.append(seconds)
                    tool.memory.append(peak)
            report(tools, n)
    finally:
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
