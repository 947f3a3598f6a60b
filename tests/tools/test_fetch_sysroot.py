"""tools/fetch-sysroot.sh against three local file mirrors standing for this machine's apt
source, Debian's archive and its snapshot archive: each pinned package comes from the first
that has it, a file whose SHA-256 differs from its pin is refused loudly, and a refused or
failed fetch leaves no sysroot behind. No network."""
import hashlib
import os
import shutil
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(ROOT, "tools", "fetch-sysroot.sh")
MIRRORS = ("machine", "archive", "snapshot")


class FetchSysrootTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.work)
        self.pins = []
        for mirror in MIRRORS:
            os.makedirs(self.path(mirror))
        # This machine's apt sources: the "machine" mirror alone.
        self.write("sources.list", "deb [trusted=yes] file:%s bullseye main\n" %
                   self.path("machine"))
        os.makedirs(self.path("parts"))
        self.write("apt.conf", 'Dir::Etc::SourceList "%s"; Dir::Etc::SourceParts "%s";\n' %
                   (self.path("sources.list"), self.path("parts")))

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def write(self, name, text):
        with open(self.path(name), "w") as f:
            f.write(text)

    def deb(self, package, content):
        """A package holding usr/include/<package>.h; returns its file's bytes."""
        tree = self.path("trees", package)
        os.makedirs(os.path.join(tree, "DEBIAN"))
        os.makedirs(os.path.join(tree, "usr", "include"))
        with open(os.path.join(tree, "DEBIAN", "control"), "w") as f:
            f.write("Package: %s\nVersion: 1.0-1\nArchitecture: amd64\nMaintainer: t <t@t>\n"
                    "Description: test\n" % package)
        with open(os.path.join(tree, "usr", "include", package + ".h"), "w") as f:
            f.write(content)
        deb = self.path("trees", package + ".deb")
        subprocess.run(["dpkg-deb", "--root-owner-group", "-Zgzip", "--build", tree, deb],
                       check=True, capture_output=True)
        with open(deb, "rb") as f:
            return f.read()

    def publish(self, package, mirrors, tampered_in=()):
        """Pins the package and lays its file into the mirrors (another build of it into
        those of tampered_in)."""
        data = self.deb(package, "// " + package + "\n")
        pool = "pool/main/%s/%s/%s_1.0-1_amd64.deb" % (package[0], package, package)
        self.pins.append("%s 1.0-1 %s %s" % (package, pool, hashlib.sha256(data).hexdigest()))
        for mirror in mirrors:
            other = self.deb(package + "-other", "// another build\n") if mirror in tampered_in \
                else data
            os.makedirs(os.path.dirname(self.path(mirror, pool)), exist_ok=True)
            with open(self.path(mirror, pool), "wb") as f:
                f.write(other)

    def fetch(self):
        self.write("pins", "# package version file sha256\n" + "\n".join(self.pins) + "\n")
        env = dict(os.environ, APT_CONFIG=self.path("apt.conf"),
                   VELO_SYSROOT_PINS=self.path("pins"),
                   VELO_DEBIAN_ARCHIVE="file://" + self.path("archive"),
                   VELO_DEBIAN_SNAPSHOT="file://" + self.path("snapshot"))
        return subprocess.run(["bash", SCRIPT, self.path("cache")], env=env,
                              capture_output=True, text=True, timeout=120)

    def assert_no_sysroot(self):
        self.assertEqual([], [n for n in os.listdir(self.path("cache")) if n.startswith(".")
                              or os.path.exists(self.path("cache", n, ".complete"))])

    def test_each_package_comes_from_the_first_source_that_has_it(self):
        self.publish("alpha", ["machine", "archive", "snapshot"])
        self.publish("bravo", ["archive", "snapshot"])
        self.publish("charlie", ["snapshot"])
        result = self.fetch()
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(
            ["alpha 1.0-1 from file://" + self.path("machine"),
             "bravo 1.0-1 from file://" + self.path("archive"),
             "charlie 1.0-1 from file://" + self.path("snapshot")],
            [line.split(": ", 1)[1] for line in result.stderr.splitlines() if " from " in line])
        sysroot = result.stdout.strip().splitlines()[-1]
        for package in ("alpha", "bravo", "charlie"):
            with open(os.path.join(sysroot, "usr", "include", package + ".h")) as f:
                self.assertEqual("// %s\n" % package, f.read())
        again = self.fetch()
        self.assertEqual((0, sysroot), (again.returncode, again.stdout.strip()),
                         "made once, then found in the cache")
        self.assertNotIn(" from ", again.stderr)

    def test_a_file_whose_checksum_differs_is_refused_not_passed_over(self):
        self.publish("alpha", ["machine"])
        self.publish("bravo", ["machine", "archive"], tampered_in=["machine"])
        result = self.fetch()
        self.assertEqual(1, result.returncode)
        self.assertIn("REFUSED file://%s/pool/main/b/bravo/bravo_1.0-1_amd64.deb: its SHA-256 is"
                      % self.path("machine"), result.stderr)
        self.assertIn("but bravo 1.0-1 is pinned as " + self.pins[1].split()[-1], result.stderr)
        self.assertNotIn("bravo 1.0-1 from", result.stderr, "the archive's good copy not taken")
        self.assert_no_sysroot()

    def test_a_package_no_source_has_fails_naming_every_source(self):
        self.publish("alpha", [])
        result = self.fetch()
        self.assertEqual(1, result.returncode)
        self.assertIn("no source has alpha 1.0-1", result.stderr)
        for mirror in MIRRORS:
            self.assertIn("file://" + self.path(mirror), result.stderr)
        self.assert_no_sysroot()


if __name__ == "__main__":
    unittest.main()
