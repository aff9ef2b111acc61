"""The styles of the sample Dirvane.ini in a real browser: headless Chromium
loads a folder of long and hostile names under each shipped style, at 1280
and at 390 pixels (a phone: the layout width comes from the page's viewport
alone, no [ua] entry), light and dark, saves screenshots into
<build>/artifacts/styles/ and checks that nothing overflows the phone's
width, that dates never wrap and that the dark scheme is honoured."""

import os
import sys
import unittest

from dirvane_test.browser import needs_browser, start_browser
from dirvane_test.files import write
from dirvane_test.httpd_site import Site
from dirvane_test.programs import SOURCE

# The styles that the sample offers for style=, and the default page beside
# them for comparison (only screenshots: it is the fixed page of old).
STYLES = ["modern"]
DEFAULT = "default"

HOSTILE_NAMES = [
    "a" * 200 + ".txt",
    "長い名前のファイル" * 8 + ".txt",
    "<b>bold<\\b> & \"quoted\" 'name' <script>x.txt",
    "😀" * 40 + ".png",
    "file." + "x" * 120,
    "readme.txt",
]
LONG_FOLDER = "folder-" + "z" * 150
BIG_FILE = "big.iso"


def fill(folder, conf):
    write(os.path.join(folder, "config.index"), conf)
    for name in HOSTILE_NAMES:
        write(os.path.join(folder, name), "x" * 1234)
    write(os.path.join(os.fsencode(folder), b"\xff\xfe not utf-8.txt"), "bytes")
    with open(os.path.join(folder, BIG_FILE), "wb") as f:
        f.truncate(5 * 1024 ** 4)  # sparse: the size cell shows terabytes
    write(os.path.join(folder, LONG_FOLDER, "config.index"), conf)
    write(os.path.join(folder, LONG_FOLDER, "a" * 180), "deep")
    write(os.path.join(folder, "docs", "config.index"), conf)


@needs_browser
@unittest.skipUnless(SOURCE, "DIRVANE_SOURCE names no source tree")
class ShippedStyles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(SOURCE, "dist", "Dirvane.ini"), "rb") as f:
            site = cls.site = Site(f.read())
        cls.addClassCleanup(site.close)
        for style in STYLES + [DEFAULT]:
            conf = "" if style == DEFAULT else "[index]\nstyle=%s\n" % style
            fill(os.path.join(site.docroot, style), conf)
        site.register()
        site.start()

        start_browser(cls, "1280,900")
        cls.shots = os.path.join(cls.artifacts, "styles")
        os.makedirs(cls.shots, exist_ok=True)
        print("style screenshots: " + cls.shots, file=sys.stderr)

    def show(self, path, width, scheme):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": 900 if width > 600 else 844, "deviceScaleFactor": 1,
            "mobile": width <= 600})
        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": scheme}]})
        self.driver.get(self.site.url(path))

    def script(self, text):
        return self.driver.execute_script(text)

    def test_screenshots_and_phone_layout(self):
        for style in STYLES + [DEFAULT]:
            for path in ("/%s/" % style, "/%s/%s/" % (style, LONG_FOLDER)):
                for width in (1280, 390):
                    backgrounds = {}
                    for scheme in ("light", "dark"):
                        with self.subTest(style=style, path=path, width=width, scheme=scheme):
                            self.show(path, width, scheme)
                            name = "%s-%s%d-%s.png" % (
                                style, "deep-" if LONG_FOLDER in path else "", width, scheme)
                            self.driver.save_screenshot(os.path.join(self.shots, name))
                            if style == DEFAULT:
                                continue
                            backgrounds[scheme] = self.script(
                                "return getComputedStyle(document.body).backgroundColor")
                            self.check_page(width)
                    if style != DEFAULT:
                        self.assertNotEqual(backgrounds.get("light"), backgrounds.get("dark"),
                                            style)

    def check_page(self, width):
        source = self.driver.page_source
        self.assertNotIn("<script", source)
        # The phone lays the page out at its own width: the viewport meta
        # works without any user agent entry.
        self.assertEqual(self.script("return window.innerWidth"), width)
        self.assertLessEqual(self.script("return document.documentElement.scrollWidth"), width)
        # Every date is one line; every name stays inside the page.
        lines = self.script("""
            return Array.from(document.querySelectorAll('td.d')).map(td => {
                const r = document.createRange(); r.selectNodeContents(td);
                return r.getClientRects().length; });""")
        self.assertTrue(lines)
        self.assertEqual(set(lines), {1})
        right = self.script("""
            return Math.max(...Array.from(document.querySelectorAll('td.n a, h2 a'))
                .map(a => a.getBoundingClientRect().right));""")
        self.assertLessEqual(right, width)


if __name__ == "__main__":
    unittest.main()
