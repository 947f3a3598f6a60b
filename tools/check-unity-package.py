#!/usr/bin/env python3
"""Checks a Unity package tarball made by tools/pack-unity-package.sh, as a studio would receive it:

  tools/check-unity-package.py <tarball>   (its symbols archive beside it)
  tools/check-unity-package.py --rules <package folder>   (Unity's rules alone, on a folder)
  tools/check-unity-package.py --schedule-points <file>...   (no schedule point in these files)

- Unity's rules for a package (those of its Package Validation Suite that apply to it):
  package/package.json is valid JSON, its version is the repository's, and it has a
  displayName, a description, the Unity version it needs, an author, the https addresses of
  its documentation, changelog and licences, and samples whose folders exist; CHANGELOG.md has
  a Keep a Changelog heading for every version (`## [1.2.3] - 2026-12-07`, newest first, the
  package's version on top, `## [Unreleased]` only above them); LICENSE.md is the repository's
  licence and `Third Party Notices.md` names each component with its licence; Documentation~
  holds the manual's sources and no built site; the runtime and sample assemblies are included
  on every platform, editor and test assemblies on the editor alone;
- every file and folder under package/ that Unity imports (not dot files, not folders ending in
  "~" and what they hold) has a .meta, and the GUIDs are unique;
- the Windows adapter DLL exports exactly exports.txt and imports only Windows system DLLs, the C
  runtime and VeloCore.dll; both DLLs carry a version resource holding the version;
- the Linux adapter library exports the same functions, and neither Linux library needs a glibc
  newer than 2.31 nor a libstdc++ newer than GCC 10's (what Ubuntu 20.04 has, the oldest Linux
  that Unity 2021.3's editor runs on);
- the Linux adapter binds every symbol when it loads (BIND_NOW in its dynamic section, and
  RELRO), so that a core lacking a function fails the load instead of ending the process at the
  call; both Linux libraries carry the version in their version note;
- the stand-in core's import settings enable the editors and no player platform, and the
  adapter's enable the players too;
- no shipped library, nor any PDB or debug file in the symbols archive beside the tarball, holds a
  schedule point, which only the tests' build of the adapter has.
Prints one line a check and exits 1 on the first failure."""
import datetime
import json
import os
import re
import struct
import subprocess
import sys
import tarfile
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXPORTS = os.path.join(ROOT, "VeloUnityAdapter", "UnityBridge", "exports.txt")
PLUGINS = "package/Plugins/x86_64/"
# What every name of a schedule point holds (the tests' build of the adapter has them, in its code,
# its exports and its debug information; a release has none).
SCHEDULE_POINT = b"SchedulePoint"
# The newest symbol version of each runtime a Linux library may need.
NEWEST_VERSIONS = {"GLIBC": (2, 31), "GLIBCXX": (3, 4, 28)}


class Failure(Exception):
    """A rule the package breaks."""


def fail(message):
    raise Failure(message)


def ok(message):
    print("ok: " + message)


def repository_version():
    with open(os.path.join(ROOT, "Unity", "com.corvan.velo", "package.json")) as manifest:
        return json.load(manifest)["version"]


# --- Windows version resources ---------------------------------------------------------------


def version_resource(path):
    """The version resource of a PE file: (file version, product version, {string: value})."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError(path + " is not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size
    for i in range(sections):
        _, _, virtual, raw_size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
        if virtual <= resource_rva < virtual + raw_size:
            base, offset = raw - virtual, raw + resource_rva - virtual
            break
    else:
        raise ValueError(path + " has no resource section")

    def entries(directory):
        named, ids = struct.unpack_from("<12xHH", data, directory)
        for k in range(named + ids):
            ident, target = struct.unpack_from("<II", data, directory + 16 + 8 * k)
            yield ident, target

    for ident, target in entries(offset):
        if ident == 16:  # RT_VERSION
            break
    else:
        raise ValueError(path + " has no version resource")
    while target & 0x80000000:  # down through name and language to the data entry
        target = next(entries(offset + (target & 0x7FFFFFFF)))[1]
    rva, size = struct.unpack_from("<II", data, offset + target)
    return parse_version_info(data[base + rva:base + rva + size])


def parse_version_info(block):
    def node(at):
        length, value_length, kind = struct.unpack_from("<HHH", block, at)
        end = block.index(b"\0\0", at + 6)
        while (end - at - 6) % 2:
            end = block.index(b"\0\0", end + 1)
        key = block[at + 6:end].decode("utf-16-le")
        value = (end + 2 + 3) & ~3
        return length, value_length, kind, key, value

    def children(at, length, start):
        child = (start + 3) & ~3
        while child < at + length:
            child_length = struct.unpack_from("<H", block, child)[0]
            if child_length == 0:
                break
            yield child
            child = (child + child_length + 3) & ~3

    length, value_length, _, key, value = node(0)
    if key != "VS_VERSION_INFO":
        raise ValueError("not a VS_VERSION_INFO")
    fixed = struct.unpack_from("<13I", block, value)
    version = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    for child in children(0, length, value + value_length):
        c_length, _, _, c_key, c_value = node(child)
        if c_key != "StringFileInfo":
            continue
        for table in children(child, c_length, c_value):
            t_length, _, _, _, t_value = node(table)
            for entry in children(table, t_length, t_value):
                _, e_value_length, _, e_key, e_value = node(entry)
                text = block[e_value:e_value + 2 * e_value_length].decode("utf-16-le")
                strings[e_key] = text.rstrip("\0")
    return version(fixed[2], fixed[3]), version(fixed[4], fixed[5]), strings


# --- Import settings -------------------------------------------------------------------------


def plugin_platforms(meta_text):
    """{platform: enabled} of a PluginImporter .meta: "Any", "Editor", "Win64", "Linux64"..."""
    platforms = {}
    for first, enabled in re.findall(
            r"- first:\n\s+(.*?)\n\s+second:\n\s+enabled: (\d)", meta_text):
        name = first.split(":")[-1].strip() or "Any"
        platforms[name] = enabled == "1"
    return platforms


# --- The checks ------------------------------------------------------------------------------


def check_manifest(root, version):
    package = os.path.join(root, "package")
    with open(os.path.join(package, "package.json")) as manifest:
        fields = json.load(manifest)
    if fields.get("name") != "com.corvan.velo" or fields.get("version") != version:
        fail("package.json is %s %s, not com.corvan.velo %s" %
             (fields.get("name"), fields.get("version"), version))
    for field in ("displayName", "description"):
        if not str(fields.get(field, "")).strip():
            fail("package.json has no " + field)
    if len(fields["displayName"]) > 50:
        fail("package.json's displayName is longer than 50 characters")
    if not re.fullmatch(r"\d{4}\.\d+", str(fields.get("unity", ""))):
        fail("package.json's unity %r is not a Unity version such as 2021.3" % fields.get("unity"))
    author = fields.get("author")
    if not (author.get("name") if isinstance(author, dict) else author):
        fail("package.json has no author")
    for field in ("documentationUrl", "changelogUrl", "licensesUrl"):
        if not re.fullmatch(r"https://[^\s/]+\.[^\s/]+/\S*", str(fields.get(field, ""))):
            fail("package.json's %s %r is not an https address" % (field, fields.get(field)))
    for sample in fields.get("samples", []):
        path = sample.get("path", "")
        if not (sample.get("displayName") and sample.get("description") and
                path.startswith("Samples~/") and os.path.isdir(os.path.join(package, path))):
            fail("package.json's sample %s: a displayName, a description and a path in "
                 "Samples~ that exists" % json.dumps(sample))
    ok("package/package.json is valid, com.corvan.velo %s, with every field Unity shows" % version)


# A Keep a Changelog heading: the version (semantic) and its date, or the unreleased changes.
CHANGELOG_HEADING = re.compile(
    r"## \[(?:Unreleased|(?P<version>(?P<numbers>\d+\.\d+\.\d+)(?:-[0-9A-Za-z.-]+)?))\]"
    r"(?(version) - (?P<date>\d{4}-\d{2}-\d{2}))")


def check_changelog(root, version):
    with open(os.path.join(root, "package", "CHANGELOG.md"), encoding="utf-8") as changelog:
        headings = [line.rstrip("\n") for line in changelog if line.startswith("## ")]
    versions = []
    for number, heading in enumerate(headings):
        match = CHANGELOG_HEADING.fullmatch(heading)
        if not match:
            fail("CHANGELOG.md: %r is not '## [1.2.3] - YYYY-MM-DD' or '## [Unreleased]'" % heading)
        if not match.group("version"):
            if number:
                fail("CHANGELOG.md: '## [Unreleased]' must be the first heading")
            continue
        try:
            datetime.date.fromisoformat(match.group("date"))
        except ValueError:
            fail("CHANGELOG.md: %r has no valid date" % heading)
        numbers = tuple(int(n) for n in match.group("numbers").split("."))
        if versions and numbers >= versions[-1][0]:
            fail("CHANGELOG.md: %r is not older than the heading above it" % heading)
        versions.append((numbers, match.group("version")))
    if not versions or versions[0][1] != version:
        fail("CHANGELOG.md: the first version heading is not the package's, %s" % version)
    ok("CHANGELOG.md: %d versions, each dated, newest first, %s on top%s" %
       (len(versions), version, ", below the unreleased changes" if
        len(headings) > len(versions) else ""))


def check_licences(root):
    package = os.path.join(root, "package")
    with open(os.path.join(ROOT, "LICENSE")) as repository, \
            open(os.path.join(package, "LICENSE.md")) as licence:
        if licence.read() != repository.read():
            fail("LICENSE.md is not the repository's LICENSE")
    with open(os.path.join(package, "Third Party Notices.md"), encoding="utf-8") as notices:
        components = notices.read().split("Component Name:")[1:]
    if not components:
        fail("Third Party Notices.md names no component")
    for component in components:
        name = component.split("\n", 1)[0].strip()
        if not name or "License Type:" not in component or "```" not in component:
            fail("Third Party Notices.md: %r without its License Type and licence text" % name)
    ok("LICENSE.md is the repository's licence; Third Party Notices.md names %d components, "
       "each with its licence" % len(components))


def check_documentation(root):
    documentation = os.path.join(root, "package", "Documentation~")
    if not os.path.isfile(os.path.join(documentation, "index.md")):
        fail("Documentation~ has no index.md")
    pages = 0
    for top, folders, files in os.walk(documentation):
        for name in folders + files:
            if name in ("_site", "api", "obj") or name.endswith(".html"):
                fail("Documentation~ holds %s: a built site, not the manual's sources" %
                     os.path.relpath(os.path.join(top, name), documentation))
        pages += sum(name.endswith(".md") for name in files)
    ok("Documentation~ holds the manual's sources, %d pages, and no built site" % pages)


def check_assembly_platforms(root):
    package = os.path.join(root, "package")
    checked = 0
    for top, folders, files in os.walk(package):
        for name in sorted(f for f in files if f.endswith(".asmdef")):
            relative = os.path.relpath(os.path.join(top, name), package)
            with open(os.path.join(top, name)) as asmdef:
                definition = json.load(asmdef)
            editor_only = "Editor" in relative.split(os.sep)[:-1] or \
                "UnityEditor.TestRunner" in definition.get("references", [])
            include = definition.get("includePlatforms", [])
            exclude = definition.get("excludePlatforms", [])
            if editor_only and (include != ["Editor"] or exclude):
                fail("%s: an editor or test assembly, included on %s" % (relative, include))
            if not editor_only and (include or exclude):
                fail("%s is not included on every platform: includePlatforms %s, "
                     "excludePlatforms %s" % (relative, include, exclude))
            checked += 1
    ok("%d assembly definitions: runtime and samples on every platform, editor and tests on the "
       "editor alone" % checked)


def check_unity_rules(root, version):
    """Unity's rules for a package, on an unpacked package (its files in root/package)."""
    check_manifest(root, version)
    check_changelog(root, version)
    check_licences(root)
    check_documentation(root)
    check_assembly_platforms(root)
    check_metas(root)


def check_metas(root):
    package = os.path.join(root, "package")
    guids, missing, imported = {}, [], 0
    for top, folders, files in os.walk(package):
        folders[:] = sorted(f for f in folders if not f.startswith(".") and not f.endswith("~"))
        for name in folders + sorted(files):
            if name.startswith(".") or name.endswith(".meta"):
                continue
            imported += 1
            path = os.path.join(top, name)
            meta = path + ".meta"
            if not os.path.isfile(meta):
                missing.append(os.path.relpath(path, root))
                continue
            with open(meta) as m:
                guid = re.search(r"^guid: ([0-9a-f]{32})$", m.read(), re.M)
            if not guid:
                fail(os.path.relpath(meta, root) + " has no GUID")
            if guid.group(1) in guids:
                fail("GUID %s of %s is also %s's" % (guid.group(1), name, guids[guid.group(1)]))
            guids[guid.group(1)] = os.path.relpath(path, root)
    if missing:
        fail("no .meta for " + ", ".join(missing))
    ok("%d imported files and folders, each with a .meta of its own GUID" % imported)


def check_exports(library, extra=()):
    command = ["cmake", "-DLIBRARY=" + library, "-DEXPORTS=" + EXPORTS, "-DNM=nm", *extra,
               "-P", os.path.join(ROOT, "tools", "CheckExports.cmake")]
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        fail(result.stdout + result.stderr)
    for line in (result.stdout + result.stderr).splitlines():
        if "CheckExports:" in line:
            ok(line.split("CheckExports: ", 1)[1].replace(library, os.path.basename(library)))


def version_needs(library):
    """The symbol versions an ELF library needs, {"GLIBC_2.14", ...}, from its .gnu.version_r."""
    result = subprocess.run(["readelf", "--version-info", "--wide", library],
                            capture_output=True, text=True, check=True)
    return set(re.findall(r"Name: (\S+)\s+Flags", result.stdout))


def check_version_needs(library):
    name = os.path.basename(library)
    newest = {}  # runtime: the newest version the library needs of it
    for need in version_needs(library):
        runtime, _, number = need.partition("_")
        if not re.fullmatch(r"[0-9.]+", number):  # GLIBC_PRIVATE: no other glibc has it
            fail("%s needs %s" % (name, need))
        newest[runtime] = max(newest.get(runtime, ()), tuple(int(n) for n in number.split(".")))
    if "GLIBC" not in newest:
        fail(name + " needs no glibc symbol version: not a library linked to glibc?")
    text = lambda runtime, version: "%s_%s" % (runtime, ".".join(map(str, version)))
    too_new = [text(r, v) for r, v in sorted(newest.items()) if v > NEWEST_VERSIONS.get(r, v)]
    allowed = " and ".join(text(r, v) for r, v in NEWEST_VERSIONS.items())
    if too_new:
        fail("%s needs %s: the oldest Linux the package supports has at most %s" %
             (name, ", ".join(too_new), allowed))
    ok("%s needs %s (at most %s)" % (name, ", ".join(
        text(r, newest[r]) for r in NEWEST_VERSIONS if r in newest), allowed))


def readelf(option, library):
    return subprocess.run(["readelf", option, "--wide", library], capture_output=True, text=True,
                          check=True).stdout


def check_bind_now(library):
    name = os.path.basename(library)
    dynamic = readelf("--dynamic", library)
    if not re.search(r"\(FLAGS\)\s+.*\bBIND_NOW\b", dynamic) and \
            not re.search(r"\(FLAGS_1\)\s+Flags:.*\bNOW\b", dynamic):
        fail("%s binds lazily (no BIND_NOW in its dynamic section): a core that lacks a function "
             "would end the process at its first call instead of failing the load" % name)
    if "GNU_RELRO" not in readelf("--program-headers", library):
        fail(name + " has no RELRO segment")
    ok(name + " binds every symbol when it loads (BIND_NOW, RELRO)")


def check_version_note(library, version):
    """The note (owner Corvan, type 1) that the C# binding reads from the loaded library."""
    name = os.path.basename(library)
    note = re.search(r"^\s*Corvan\s+0x[0-9a-f]+\s[^\n]*?description data: ([0-9a-f ]+)",
                     readelf("--notes", library), re.M)
    found = bytes.fromhex(note.group(1)).rstrip(b"\0").decode() if note else None
    if found != version:
        fail("%s carries version note %s, not %s" % (name, found, version))
    ok("%s carries version %s in its version note" % (name, version))


def check_version_resource(dll, version):
    file_version, product_version, strings = version_resource(dll)
    expected = version + ".0"
    name = os.path.basename(dll)
    wanted = {"FileVersion": version, "ProductVersion": version, "OriginalFilename": name,
              "CompanyName": "Corvan"}
    if file_version != expected or product_version != expected or \
            any(strings.get(k) != v for k, v in wanted.items()) or not strings.get("ProductName"):
        fail("%s: version resource %s %s %s" % (name, file_version, product_version, strings))
    ok("%s carries version %s (%s)" % (name, version, strings["ProductName"]))


def check_no_schedule_points(paths):
    holding = []
    for path in paths:
        with open(path, "rb") as f:
            if SCHEDULE_POINT in f.read():
                holding.append(os.path.basename(path))
    if holding:
        fail("%s name %s: built with schedule points, which only the tests' build has" %
             (", ".join(holding), SCHEDULE_POINT.decode()))
    ok("no schedule point in " + ", ".join(sorted(os.path.basename(p) for p in paths)))


def check_import_settings(root):
    plugins = os.path.join(root, PLUGINS)
    for library, players in (("VeloCore.dll", False), ("libVeloCore.so", False),
                             ("VeloUnityAdapter.dll", True), ("libVeloUnityAdapter.so", True)):
        with open(os.path.join(plugins, library + ".meta")) as meta:
            platforms = plugin_platforms(meta.read())
        standalone = {k: v for k, v in platforms.items() if k not in ("Any", "Editor")}
        if not platforms.get("Editor") or platforms.get("Any"):
            fail(library + " is not enabled for the editor alone: %s" % platforms)
        if players != any(standalone.values()):
            fail("%s is %s for players: %s" % (library, "not enabled" if players else "enabled",
                                              platforms))
        ok("%s: enabled for the editor%s" % (library, " and its player" if players
                                             else ", for no player platform"))


def check_tarball(tarball):
    version = repository_version()
    with tempfile.TemporaryDirectory() as root:
        with tarfile.open(tarball) as archive:
            archive.extractall(root)
        check_unity_rules(root, version)
        plugins = os.path.join(root, PLUGINS)
        dll = os.path.join(plugins, "VeloUnityAdapter.dll")
        # Windows, its C and C++ runtime DLLs and the core, which it asks for MSVC-decorated names.
        check_exports(dll, ["-DIMPORTS_ALLOWED=VeloCore\\.dll", "-DCORE_DLL=VeloCore.dll"])
        check_exports(os.path.join(plugins, "libVeloUnityAdapter.so"))
        for library in ("libVeloUnityAdapter.so", "libVeloCore.so"):
            check_version_needs(os.path.join(plugins, library))
            check_version_note(os.path.join(plugins, library), version)
        check_bind_now(os.path.join(plugins, "libVeloUnityAdapter.so"))
        # The stand-in core is a build of the core's declarations of its own: it provides every
        # name the packaged adapter imports, as the real core must.
        core_check = subprocess.run(
            [sys.executable, os.path.join(ROOT, "tools", "check-core.py"),
             os.path.join(plugins, "VeloCore.dll"), dll], capture_output=True, text=True)
        if core_check.returncode != 0:
            fail(core_check.stdout + core_check.stderr)
        ok(core_check.stdout.strip())
        for library in ("VeloUnityAdapter.dll", "VeloCore.dll"):
            check_version_resource(os.path.join(plugins, library), version)
        check_import_settings(root)
        shipped = [os.path.join(plugins, f) for f in sorted(os.listdir(plugins))
                   if not f.endswith(".meta")]
        symbols = tarball[:-len(".tgz")] + "-symbols.tgz"
        if not os.path.isfile(symbols):
            fail("no symbols archive beside the package: " + os.path.basename(symbols))
        with tarfile.open(symbols) as archive:
            archive.extractall(os.path.join(root, "symbols"))
        shipped += [os.path.join(top, f) for top, _, files in os.walk(os.path.join(root, "symbols"))
                    for f in files]
        check_no_schedule_points(shipped)
    print("The package checks out: " + os.path.basename(tarball))


def check_folder(package):
    """Unity's rules on a package folder, as if it were unpacked from a tarball."""
    with tempfile.TemporaryDirectory() as root:
        os.symlink(os.path.abspath(package), os.path.join(root, "package"))
        check_unity_rules(root, repository_version())


def main(arguments):
    try:
        if len(arguments) == 2 and arguments[0] == "--version-resource":
            print(version_resource(arguments[1]))
        elif len(arguments) == 2 and arguments[0] == "--version-needs":
            check_version_needs(arguments[1])
        elif len(arguments) == 2 and arguments[0] == "--rules":
            check_folder(arguments[1])
        elif len(arguments) >= 2 and arguments[0] == "--schedule-points":
            check_no_schedule_points(arguments[1:])
        elif len(arguments) == 1:
            check_tarball(arguments[0])
        else:
            sys.exit(__doc__)
    except Failure as failure:
        print("FAIL: %s" % failure)
        sys.exit(1)


if __name__ == "__main__":
    main(sys.argv[1:])
