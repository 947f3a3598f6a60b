#!/usr/bin/env python3
"""Writes the Unity .meta files the package is missing: one per file and folder (Unity ignores
a package's assets without them), and the import settings of the native libraries that
`cmake --install` lays into Plugins/x86_64. GUIDs are derived from the path, so a file keeps its
GUID wherever the package is checked out. Existing .meta files are left alone, but for the
native libraries' import settings, which this script owns."""
import hashlib
import os
import sys

PACKAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Unity", "com.corvan.velo")

TAIL = "  userData: \n  assetBundleName: \n  assetBundleVariant: \n"


def guid(relative):
    return hashlib.md5(("com.corvan.velo/" + relative).encode()).hexdigest()


def importer(relative, is_folder):
    if is_folder:
        return "folderAsset: yes\nDefaultImporter:\n  externalObjects: {}\n" + TAIL
    name = os.path.basename(relative)
    if name.endswith(".cs"):
        return ("MonoImporter:\n  externalObjects: {}\n  serializedVersion: 2\n"
                "  defaultReferences: []\n  executionOrder: 0\n  icon: {instanceID: 0}\n" + TAIL)
    if name.endswith(".asmdef"):
        return "AssemblyDefinitionImporter:\n  externalObjects: {}\n" + TAIL
    if name == "package.json":
        return "PackageManifestImporter:\n  externalObjects: {}\n" + TAIL
    return "TextScriptImporter:\n  externalObjects: {}\n" + TAIL


def plugin(windows, players):
    """A native library's import settings: for the editor of its OS and, with `players`, for the
    standalone player of that OS. The stand-in core is for the editor alone, so that a game built
    without the real core fails when it starts instead of running against the stand-in."""
    os_name, own, other = ("Windows", "Win64", "Linux64") if windows else ("Linux", "Linux64", "Win64")
    player = "x86_64" if players else "None"
    return (
        "PluginImporter:\n  externalObjects: {}\n  serializedVersion: 2\n  iconMap: {}\n"
        "  executionOrder: {}\n  defineConstraints: []\n  isPreloaded: 0\n  isOverridable: 0\n"
        "  isExplicitlyReferenced: 0\n  validateReferences: 1\n  platformData:\n"
        "  - first:\n      : Any\n    second:\n      enabled: 0\n      settings:\n"
        "        Exclude Editor: 0\n"
        f"        Exclude {other}: 1\n        Exclude {own}: {0 if players else 1}\n"
        "        Exclude OSXUniversal: 1\n"
        "  - first:\n      Editor: Editor\n    second:\n      enabled: 1\n      settings:\n"
        f"        CPU: x86_64\n        DefaultValueInitialized: true\n        OS: {os_name}\n"
        f"  - first:\n      Standalone: {own}\n    second:\n      enabled: {int(players)}\n"
        f"      settings:\n        CPU: {player}\n"
        f"  - first:\n      Standalone: {other}\n    second:\n      enabled: 0\n"
        "      settings:\n        CPU: None\n" + TAIL)


# (windows, enabled for players)
PLUGINS = {
    "Plugins/x86_64/VeloUnityAdapter.dll": (True, True),
    "Plugins/x86_64/VeloCore.dll": (True, False),
    "Plugins/x86_64/libVeloUnityAdapter.so": (False, True),
    "Plugins/x86_64/libVeloCore.so": (False, False),
}


def write(relative, body, replace=False):
    path = os.path.join(PACKAGE, relative + ".meta")
    if os.path.exists(path) and not replace:
        return
    if os.path.exists(path) and open(path).read().endswith(body):
        return
    with open(path, "w") as meta:
        meta.write(f"fileFormatVersion: 2\nguid: {guid(relative)}\n" + body)
    print("wrote", os.path.relpath(path))


def main():
    for top, folders, files in os.walk(PACKAGE):
        folders[:] = [f for f in folders if not f.endswith("~") and not f.startswith(".")]
        for name in folders + files:
            relative = os.path.relpath(os.path.join(top, name), PACKAGE)
            if name.endswith(".meta") or relative in PLUGINS:
                continue
            write(relative, importer(relative, name in folders))
    for relative, (windows, players) in PLUGINS.items():
        write(relative, plugin(windows, players), replace=True)


if __name__ == "__main__":
    sys.exit(main())
