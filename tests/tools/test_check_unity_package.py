"""Unity's rules in tools/check-unity-package.py: the repository's package passes them, and each
rule refuses one package that breaks it, saying why."""
import contextlib
import importlib.util
import io
import json
import os
import re
import shutil
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
module_source = importlib.util.spec_from_file_location(
    "check_unity_package", os.path.join(ROOT, "tools", "check-unity-package.py"))
check = importlib.util.module_from_spec(module_source)
module_source.loader.exec_module(check)
VERSION = check.repository_version()


def edit_json(name, change):
    def apply(package):
        path = os.path.join(package, name)
        with open(path) as f:
            fields = json.load(f)
        change(fields)
        with open(path, "w") as f:
            json.dump(fields, f)
    return apply


def edit_text(name, old, new):
    def apply(package):
        path = os.path.join(package, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        assert re.search(old, text, re.M), (name, old)
        with open(path, "w", encoding="utf-8") as f:
            f.write(re.sub(old, new, text, count=1, flags=re.M))
    return apply


def write(name, text):
    def apply(package):
        with open(os.path.join(package, name), "w") as f:
            f.write(text)
    return apply


def remove(name):
    return lambda package: os.remove(os.path.join(package, name))


MANIFEST, CHANGELOG = "package.json", "CHANGELOG.md"
RUNTIME_ASMDEF = "Runtime/Corvan.Velo.Unity.asmdef"
TESTS_ASMDEF = "Tests/Runtime/Corvan.Velo.Unity.Tests.asmdef"

# (what is broken, how, what the check says)
BROKEN = [
    ("no displayName", edit_json(MANIFEST, lambda m: m.pop("displayName")), "no displayName"),
    ("no description", edit_json(MANIFEST, lambda m: m.update(description=" ")), "no description"),
    ("unity not a version", edit_json(MANIFEST, lambda m: m.update(unity="2021")),
     "not a Unity version"),
    ("no author", edit_json(MANIFEST, lambda m: m.update(author={})), "no author"),
    ("documentationUrl not https",
     edit_json(MANIFEST, lambda m: m.update(documentationUrl="http://docs.example.com/")),
     "documentationUrl 'http://docs.example.com/' is not an https address"),
    ("no changelogUrl", edit_json(MANIFEST, lambda m: m.pop("changelogUrl")),
     "changelogUrl None is not an https address"),
    ("licensesUrl not an address", edit_json(MANIFEST, lambda m: m.update(licensesUrl="LICENSE")),
     "licensesUrl 'LICENSE' is not an https address"),
    ("a sample's folder missing",
     edit_json(MANIFEST, lambda m: m["samples"][0].update(path="Samples~/Gone")),
     "Samples~/Gone"),
    ("a heading without brackets and date", edit_text(CHANGELOG, r"^## \[2\.0\.0\] .*$", "## 2.0.0"),
     "'## 2.0.0' is not '## [1.2.3] - YYYY-MM-DD'"),
    ("a version without a date", edit_text(CHANGELOG, r"^## \[1\.0\.0\] .*$", "## [1.0.0]"),
     "'## [1.0.0]' is not"),
    ("a date that is none", edit_text(CHANGELOG, r"^## \[1\.0\.0\] .*$", "## [1.0.0] - 2026-02-30"),
     "has no valid date"),
    ("unreleased changes below a version",
     edit_text(CHANGELOG, r"^## \[1\.0\.0\]", "## [Unreleased]\n\n## [1.0.0]"),
     "'## [Unreleased]' must be the first heading"),
    ("versions out of order", edit_text(CHANGELOG, r"^## \[1\.0\.0\]", "## [2.0.1]"),
     "'## [2.0.1] - 2026-12-06' is not older"),
    ("the package's version not on top",
     edit_text(CHANGELOG, r"^## \[(?!Unreleased)", "## [9.0.0] - 2027-01-01\n\n## ["),
     "the first version heading is not the package's"),
    ("another licence", edit_text("LICENSE.md", "MIT License", "Proprietary"),
     "LICENSE.md is not the repository's LICENSE"),
    ("a component without its licence", edit_text("Third Party Notices.md", "License Type:", ""),
     "'RapidJSON' without its License Type"),
    ("no manual", remove("Documentation~/index.md"), "Documentation~ has no index.md"),
    ("the built site in the package", write("Documentation~/index.html", "<html></html>"),
     "Documentation~ holds index.html: a built site"),
    ("the runtime on some platforms",
     edit_json(RUNTIME_ASMDEF, lambda d: d.update(includePlatforms=["Editor", "WindowsStandalone64"])),
     "Corvan.Velo.Unity.asmdef is not included on every platform"),
    ("the tests in players", edit_json(TESTS_ASMDEF, lambda d: d.update(includePlatforms=[])),
     "Corvan.Velo.Unity.Tests.asmdef: an editor or test assembly"),
    ("a file without its .meta", remove("README.md.meta"), "no .meta for package/README.md"),
    ("two files of one GUID",
     edit_text("LICENSE.md.meta", r"^guid: .*$",
               "guid: " + open(os.path.join(ROOT, "Unity/com.corvan.velo/README.md.meta"))
               .read().split("guid: ")[1][:32]),
     "is also package/"),
]


class UnityRulesTest(unittest.TestCase):
    def package(self):
        """A copy of the repository's package (without native libraries) in root/package."""
        root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, root)
        shutil.copytree(os.path.join(ROOT, "Unity", "com.corvan.velo"),
                        os.path.join(root, "package"),
                        ignore=shutil.ignore_patterns("*.dll", "*.so"))
        return root

    def setUp(self):
        quiet = contextlib.redirect_stdout(io.StringIO())  # the check's "ok:" lines
        quiet.__enter__()
        self.addCleanup(quiet.__exit__, None, None, None)

    def test_the_repository_package_keeps_every_rule(self):
        check.check_unity_rules(self.package(), VERSION)

    def test_each_rule_refuses_a_package_that_breaks_it(self):
        for what, breaking, said in BROKEN:
            with self.subTest(what):
                root = self.package()
                breaking(os.path.join(root, "package"))
                with self.assertRaises(check.Failure) as refused:
                    check.check_unity_rules(root, VERSION)
                self.assertIn(said, str(refused.exception))


if __name__ == "__main__":
    unittest.main()
