"""tools/msvc-stl.sh on a machine without ../shared/msvc-stl, cloning from a local repository
that stands for the STL's: a shallow clone of the tag's stl/inc alone into the cache, used from
then on; a tag at another commit refused; no clone source, a message saying what to set."""
import os
import shutil
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TAG = "vs-2022-17.4"


class MsvcStlTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.work)
        # A checkout with no ../shared beside it.
        os.makedirs(os.path.join(self.work, "checkout", "tools"))
        self.script = os.path.join(self.work, "checkout", "tools", "msvc-stl.sh")
        shutil.copy(os.path.join(ROOT, "tools", "msvc-stl.sh"), self.script)
        self.upstream = os.path.join(self.work, "STL")
        for name in ("stl/inc/yvals_core.h", "stl/src/format.cpp", "tests/std/test.cpp"):
            os.makedirs(os.path.dirname(os.path.join(self.upstream, name)), exist_ok=True)
            with open(os.path.join(self.upstream, name), "w") as f:
                f.write("// " + name + "\n")
        self.git("init", "-q")
        self.git("add", ".")
        self.git("commit", "-qm", "release")
        self.git("tag", TAG)
        self.commit = self.git("rev-parse", "HEAD")
        self.cache = os.path.join(self.work, "cache")

    def git(self, *arguments):
        return subprocess.run(["git", "-c", "user.name=t", "-c", "user.email=t@t", *arguments],
                              cwd=self.upstream, check=True, capture_output=True,
                              text=True).stdout.strip()

    def run_script(self, *arguments, repository=None, commit=None):
        env = {k: v for k, v in os.environ.items() if k != "VELO_MSVC_STL_DIR"}
        env.update(XDG_CACHE_HOME=self.cache,
                   VELO_MSVC_STL_REPOSITORY=repository or "file://" + self.upstream,
                   VELO_MSVC_STL_COMMIT=commit or self.commit)
        return subprocess.run(["bash", self.script, *arguments], env=env, capture_output=True,
                              text=True, timeout=120)

    def test_fetch_clones_the_tags_headers_alone_into_the_cache_once(self):
        self.assertEqual(1, self.run_script().returncode, "nothing to find before the fetch")
        fetched = self.run_script("fetch")
        clone = os.path.join(self.cache, "velo-msvc-stl", TAG)
        self.assertEqual((0, os.path.join(clone, "stl", "inc")),
                         (fetched.returncode, fetched.stdout.strip()), fetched.stderr)
        self.assertTrue(os.path.isfile(os.path.join(clone, "stl", "inc", "yvals_core.h")))
        self.assertFalse(os.path.exists(os.path.join(clone, "stl", "src")), "stl/inc alone")
        self.assertFalse(os.path.exists(os.path.join(clone, "tests")), "stl/inc alone")
        self.assertEqual("1", subprocess.run(
            ["git", "-C", clone, "rev-list", "--count", "HEAD"], capture_output=True,
            text=True).stdout.strip(), "shallow")
        found = self.run_script("fetch", repository="file:///nowhere")
        self.assertEqual((0, fetched.stdout), (found.returncode, found.stdout),
                         "found in the cache, not cloned again")

    def test_a_tag_at_another_commit_is_refused(self):
        result = self.run_script("fetch", commit="0" * 40)
        self.assertEqual(1, result.returncode)
        self.assertIn("REFUSED: %s of file://%s is commit %s, not %s" %
                      (TAG, self.upstream, self.commit, "0" * 40), result.stderr)
        self.assertEqual([], os.listdir(os.path.join(self.cache, "velo-msvc-stl")))

    def test_without_a_source_it_says_what_to_set(self):
        result = self.run_script("fetch", repository="file:///nowhere")
        self.assertEqual((1, ""), (result.returncode, result.stdout))
        self.assertIn("set VELO_MSVC_STL_DIR to the stl/inc folder of a clone of\n"
                      "   file:///nowhere at tag " + TAG, result.stderr)


if __name__ == "__main__":
    unittest.main()
