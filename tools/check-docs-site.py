#!/usr/bin/env python3
"""Checks the documentation site that tools/build-docs.sh built:

  tools/check-docs-site.py <site folder> <screenshot folder>

- every local link and resource of every page exists, and a link's #anchor is an id of its page;
- the package manifest's documentationUrl, changelogUrl and licensesUrl are pages of the site
  where the site says it is published (docfx.json's sitemap baseUrl);
- headless Chromium, served the site on a loopback address, renders the index and the API page
  of VeloAdapter with their heading, navigation and table of contents, and logs no console
  error, exception or failed load; a screenshot of each is kept in the screenshot folder.
Prints one line a check and exits 1 on the first failure."""
import base64
import functools
import html.parser
import http.server
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = os.path.join(ROOT, "Unity", "com.corvan.velo")
# The pages rendered: (page, what its heading holds, whether a table of contents is beside it).
RENDERED = (("index.html", "Corvan Velo for Unity", False),
            ("api/Corvan.Velo.Unity.VeloAdapter.html", "VeloAdapter", True))
CHROMIUM_FLAGS = ("--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--remote-debugging-pipe")
SECONDS = 60  # for the browser to start, load a page or answer


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def ok(message):
    print("ok: " + message)


# --- Links -----------------------------------------------------------------------------------


class Page(html.parser.HTMLParser):
    """A page's ids and the addresses of its links and resources."""

    def __init__(self, path):
        super().__init__()
        self.ids, self.links = set(), []
        with open(path, encoding="utf-8") as f:
            self.feed(f.read())

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("id", "name") and value:
                self.ids.add(value)
            elif name in ("href", "src") and value:
                self.links.append(value)


def check_links(site):
    pages, checked = {}, 0

    def page(path):
        if path not in pages:
            pages[path] = Page(path)
        return pages[path]

    for top, _, files in os.walk(site):
        for name in sorted(f for f in files if f.endswith(".html")):
            source = os.path.join(top, name)
            for link in page(source).links:
                address = urllib.parse.urlsplit(link)
                if address.scheme or address.netloc or link.startswith("#!"):
                    continue  # another site, or a template's script address
                target = os.path.normpath(os.path.join(
                    os.path.dirname(source), urllib.parse.unquote(address.path))) \
                    if address.path else source
                if os.path.isdir(target):
                    target = os.path.join(target, "index.html")
                where = "%s links to %s" % (os.path.relpath(source, site), link)
                if not os.path.isfile(target):
                    fail(where + ", which is not in the site")
                if address.fragment and target.endswith(".html") and \
                        urllib.parse.unquote(address.fragment) not in page(target).ids:
                    fail(where + ", an anchor its page lacks")
                checked += 1
    if not pages:
        fail("no pages in " + site)
    ok("%d pages, their %d local links and resources resolve" % (len(pages), checked))


def check_published_addresses(site):
    with open(os.path.join(PACKAGE, "Documentation~", "docfx.json")) as f:
        base = json.load(f)["build"]["sitemap"]["baseUrl"]
    with open(os.path.join(PACKAGE, "package.json")) as f:
        manifest = json.load(f)
    for field in ("documentationUrl", "changelogUrl", "licensesUrl"):
        url = manifest.get(field, "")
        if not url.startswith(base):
            fail("package.json's %s %r is not under the site's address %s" % (field, url, base))
        if not os.path.isfile(os.path.join(site, url[len(base):])):
            fail("package.json's %s %r: the site has no page %s" % (field, url, url[len(base):]))
    ok("the manifest's documentation, changelog and licence addresses are pages of the site, "
       "published at " + base)


# --- Rendering -------------------------------------------------------------------------------


class Browser:
    """Headless Chromium driven through the DevTools protocol over a pipe: JSON messages ending
    with a zero byte, to the browser on its descriptor 3, from it on 4."""

    def __init__(self, profile):
        to_browser, self.writer = os.pipe()
        self.reader, from_browser = os.pipe()
        command = 'exec chromium "$@" 3<&%d 4>&%d' % (to_browser, from_browser)
        self.process = subprocess.Popen(
            ["sh", "-c", command, "chromium", *CHROMIUM_FLAGS, "--user-data-dir=" + profile,
             "about:blank"], pass_fds=(to_browser, from_browser),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser)
        os.close(from_browser)
        self.buffer, self.events, self.last_id = b"", [], 0

    def receive(self, deadline):
        while b"\0" not in self.buffer:
            remaining = deadline - time.monotonic()
            ready = select.select([self.reader], [], [], max(remaining, 0))[0]
            if not ready:
                raise TimeoutError("Chromium did not answer in %d s" % SECONDS)
            chunk = os.read(self.reader, 1 << 16)
            if not chunk:
                raise EOFError("Chromium exited")
            self.buffer += chunk
        message, _, self.buffer = self.buffer.partition(b"\0")
        message = json.loads(message)
        if "method" in message:
            self.events.append(message)
        return message

    def send(self, method, params=None, session=None):
        self.last_id += 1
        message = {"id": self.last_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.writer, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + SECONDS
        while True:
            reply = self.receive(deadline)
            if reply.get("id") == self.last_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply["result"]

    def wait_for(self, accept):
        deadline = time.monotonic() + SECONDS
        seen = 0
        while True:
            for event in self.events[seen:]:
                if accept(event):
                    return
            seen = len(self.events)
            self.receive(deadline)

    def close(self):
        try:
            self.send("Browser.close")
        except (OSError, EOFError, TimeoutError, RuntimeError):
            pass
        try:
            self.process.wait(timeout=SECONDS)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.reader)
        os.close(self.writer)


# What a rendered page shows: its heading, its top navigation and the table of contents beside
# it (both filled in by the template's scripts from the site's toc.json files), and how much
# text it holds.
RENDERED_STATE = """(() => ({
    heading: (document.querySelector('article h1') || {}).textContent || '',
    navigation: document.querySelectorAll('#navbar a').length,
    contents: document.querySelectorAll('nav.toc a, #toc a').length,
    text: document.body.innerText.length
}))()"""


def problems(events, session):
    """The console errors, exceptions and failed loads among a page's events."""
    found = []
    for event in events:
        if event.get("sessionId") != session:
            continue
        params = event.get("params", {})
        if event["method"] == "Runtime.consoleAPICalled" and params["type"] in ("error", "assert"):
            found.append("console: " + " ".join(
                str(a.get("value", a.get("description", ""))) for a in params["args"]))
        elif event["method"] == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            found.append("exception: " + details.get("exception", {}).get(
                "description", details.get("text", "")))
        elif event["method"] == "Log.entryAdded" and params["entry"]["level"] == "error":
            entry = params["entry"]
            found.append("%s: %s %s" % (entry["source"], entry["text"], entry.get("url", "")))
    return found


def render(browser, url, heading, contents, screenshot):
    target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
    session = browser.send("Target.attachToTarget", {"targetId": target, "flatten": True})[
        "sessionId"]
    for domain in ("Page", "Runtime", "Log"):
        browser.send(domain + ".enable", session=session)
    browser.send("Page.setLifecycleEventsEnabled", {"enabled": True}, session)
    browser.send("Emulation.setDeviceMetricsOverride",
                 {"width": 1280, "height": 900, "deviceScaleFactor": 1, "mobile": False}, session)
    loader = browser.send("Page.navigate", {"url": url}, session).get("loaderId")
    browser.wait_for(lambda e: e.get("sessionId") == session and
                     e["method"] == "Page.lifecycleEvent" and
                     e["params"]["name"] == "networkIdle" and
                     e["params"]["loaderId"] == loader)
    state = browser.send("Runtime.evaluate", {"expression": RENDERED_STATE,
                                              "returnByValue": True}, session)["result"]["value"]
    image = browser.send("Page.captureScreenshot", {"format": "png"}, session)["data"]
    with open(screenshot, "wb") as f:
        f.write(base64.b64decode(image))
    found = problems(browser.events, session)
    if found:
        fail("%s logged:\n  %s" % (url, "\n  ".join(found)))
    if heading not in state["heading"] or not state["navigation"] or \
            (contents and not state["contents"]):
        fail("%s did not render: heading %r (expected %r), %d navigation and %d contents links"
             % (url, state["heading"], heading, state["navigation"], state["contents"]))
    browser.send("Target.closeTarget", {"targetId": target})
    ok("Chromium renders %s: %r, %d navigation and %d contents links, %d characters, no console "
       "error (%s)" % (url.split("/", 3)[3], state["heading"].strip(), state["navigation"],
                       state["contents"], state["text"], screenshot))


def check_rendering(site, screenshots):
    if not shutil.which("chromium"):
        fail("chromium is missing (tools/install-deps.sh installs it)")
    os.makedirs(screenshots, exist_ok=True)
    handler = functools.partial(Quiet, directory=site)
    with http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler) as server:
        threading.Thread(target=server.serve_forever, daemon=True).start()
        base = "http://127.0.0.1:%d/" % server.server_address[1]
        with tempfile.TemporaryDirectory() as profile:
            browser = Browser(profile)
            try:
                for page, heading, contents in RENDERED:
                    name = os.path.splitext(os.path.basename(page))[0] + ".png"
                    render(browser, base + page, heading, contents,
                           os.path.join(screenshots, name))
            finally:
                browser.close()
        server.shutdown()


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    site, screenshots = sys.argv[1:]
    check_links(site)
    check_published_addresses(site)
    check_rendering(site, screenshots)
    print("The documentation site checks out: " + site)


if __name__ == "__main__":
    main()
