#!/usr/bin/env python3
"""Checks a core library against the adapter before anything is built or shipped: every C++ name
the adapter DLL imports from VeloCore.dll must be one the core provides. Prints "compatible", or
each missing name demangled, with the likely cause, and exits 1.

    tools/check-core.py <VeloCore.lib or VeloCore.dll> [VeloUnityAdapter.dll]
    tools/check-core.py --imports <VeloUnityAdapter.dll or libVeloUnityAdapter.so>

The second form lists each C++ name the adapter imports from the core with its declaration, as
the toolchain's demangler writes it (a test compares the C# binding's demangling with it).

The adapter defaults to the one the windows-release preset builds. MSVC's decorated names encode
the declarations: a `struct` declared `class` on one side, a `const` more or less, or another
enum type make another name, and the loader then refuses the adapter.
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORE_DLL = "VeloCore.dll"

# One differing character between the adapter's name and one the core has, and what it means.
CAUSES = [
    ("UV", "a type declared `struct` on one side and `class` on the other"),
    ("AB", "a `const` more or less (on a pointer, a reference or the function)"),
    ("01234567", "an enum with another underlying type"),  # W4: an int enum
]


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def imported_core_names(adapter):
    if not adapter.lower().endswith(".dll"):  # ELF: the undefined names of the core's namespace
        dump = run("llvm-nm-14", "-D", "--undefined-only", "--format=just-symbols", adapter)
        return [name for name in dump.split() if "6Corvan4Velo" in name]
    names, dll = [], None
    for line in run("llvm-readobj-14", "--coff-imports", adapter).splitlines():
        match = re.match(r"\s*(Name|Symbol): (\S+)", line)
        if match and match.group(1) == "Name":
            dll = match.group(2)
        elif match and dll and dll.lower() == CORE_DLL.lower():
            names.append(match.group(2))
    return names


def provided_names(library):
    if library.lower().endswith(".dll"):
        dump = run("llvm-readobj-14", "--coff-exports", library)
        return set(re.findall(r"^\s*Name: (\S+)", dump, re.M))
    names = set()
    for line in run("llvm-nm-14", "--defined-only", library).splitlines():
        parts = line.split()
        if len(parts) == 3:
            names.add(parts[2][len("__imp_"):] if parts[2].startswith("__imp_") else parts[2])
    return names


def demangle(name):
    if name.startswith("_Z"):
        return run("c++filt", name).strip()
    return run("llvm-undname-14", name).strip().splitlines()[-1]


def likely_cause(name, provided):
    """What the core has instead of `name`, and why they differ."""
    function = name.split("@@", 1)[0] + "@@"  # ?Member@Class@Namespaces@@
    for index, char in enumerate(name):
        for letters, cause in CAUSES:
            if char in letters and (letters[0] != "0" or name[index - 1] == "W"):
                for other in letters.replace(char, ""):
                    if name[:index] + other + name[index + 1:] in provided:
                        return cause, name[:index] + other + name[index + 1:]
    same_function = sorted(n for n in provided if n.startswith(function))
    if same_function:
        return "another declaration of this function", same_function[0]
    return "the core has no such function (removed or renamed)", None


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--imports":
        for name in imported_core_names(sys.argv[2]):
            print("%s\t%s" % (name, demangle(name)))
        return
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    library = sys.argv[1]
    adapter = sys.argv[2] if len(sys.argv) == 3 else os.path.join(
        ROOT, "build", "windows-release", "bin", "VeloUnityAdapter.dll")
    needed = imported_core_names(adapter)
    if not needed:
        sys.exit("%s imports nothing from %s" % (adapter, CORE_DLL))
    provided = provided_names(library)
    missing = [name for name in needed if name not in provided]
    if not missing:
        print("compatible: %s provides all %d names the adapter imports" %
              (os.path.basename(library), len(needed)))
        return
    print("%s lacks %d of the %d names the adapter imports:" %
          (os.path.basename(library), len(missing), len(needed)))
    for name in missing:
        cause, instead = likely_cause(name, provided)
        print("- %s\n  %s\n  likely cause: %s" % (demangle(name), name, cause))
        if instead:
            print("  the core has: %s" % demangle(instead))
    print("Make VeloUnityAdapter/CoreInterface declare these as the real core's header does.")
    sys.exit(1)


if __name__ == "__main__":
    main()
