"""The modern style's sort links and search form in a real browser, and its
accessibility: headless Chromium clicks each column head twice and checks
the order against the JSON form and the arrow against aria-sort, types into
the search field and submits it; then axe-core (npm install axe-core; found
through DIRVANE_AXE or <source>/build/axe) audits the page at 1280 and 390
pixels, light and dark, for violations of impact serious or critical."""

import json
import os
import unittest
import urllib.parse
import urllib.request

from dirvane_test.browser import needs_browser, start_browser
from dirvane_test.httpd_site import Site
from dirvane_test.programs import SOURCE
from dirvane_test.visitor_cases import FILES, FOLDERS, fill

ARROWS = {"ascending": "\u25b2", "descending": "\u25bc"}


def find_axe():
    for path in (os.environ.get("DIRVANE_AXE", ""),
                 os.path.join(SOURCE, "build", "axe", "node_modules", "axe-core", "axe.min.js")):
        if path and os.path.isfile(path):
            return path
    return None


@needs_browser
@unittest.skipUnless(SOURCE, "DIRVANE_SOURCE names no source tree")
class ModernInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(SOURCE, "dist", "Dirvane.ini"), "rb") as f:
            site = cls.site = Site(f.read())
        cls.addClassCleanup(site.close)
        fill(os.path.join(site.docroot, "m"), "[index]\nstyle=modern\n")
        site.register()
        site.start()
        start_browser(cls, "1280,900")

    def find(self, css):
        from selenium.webdriver.common.by import By
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def shown_names(self):
        return [a.text for a in self.find("td.n a")]

    def json_names(self):
        query = urllib.parse.urlsplit(self.driver.current_url).query
        url = self.site.url("/m/?" + query + ("&" if query else "") + "format=json")
        with urllib.request.urlopen(url, timeout=30) as r:
            return [e["name"] for e in json.loads(r.read())["entries"]]

    def test_click_each_head_twice_then_search(self):
        # The heads show from a wide window on (a phone's layout hides them).
        self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        self.driver.get(self.site.url("/m/"))
        for cls, column in (("n", "N"), ("s", "S"), ("d", "M")):
            directions = []
            for _ in range(2):
                self.find("th.%s a" % cls)[0].click()
                head = self.find("th." + cls)[0]
                sort = head.get_attribute("aria-sort")
                self.assertIn(sort, ARROWS)
                directions.append(sort)
                query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.driver.current_url).query)
                self.assertEqual(query["C"], [column])
                self.assertEqual(query["O"], ["A" if sort == "ascending" else "D"])
                arrow = head.find_elements("css selector", "span[role=img]")
                self.assertEqual(len(arrow), 1)
                self.assertEqual(arrow[0].text, ARROWS[sort])
                self.assertEqual(arrow[0].get_attribute("aria-label"), "(%s)" % sort)
                self.assertEqual(len(self.find("th[aria-sort]")), 1)
                self.assertEqual(self.shown_names(), self.json_names())
                self.assertEqual(len(self.shown_names()), len(FILES) + len(FOLDERS))
            self.assertEqual(sorted(directions), ["ascending", "descending"], cls)

        # Last written, newest first, as the last click left it; search keeps it.
        field = self.find("input[name=q]")[0]
        field.send_keys("B")
        field.submit()
        # A submit sent by script does not wait for the next page, as a click
        # on a link does.
        from selenium.webdriver.support.ui import WebDriverWait
        WebDriverWait(self.driver, 30).until(
            lambda d: "q=" in d.current_url
            and d.execute_script("return document.readyState") == "complete")
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.driver.current_url).query)
        self.assertEqual((query["q"], query["C"]), (["B"], ["M"]))
        self.assertEqual(self.shown_names(), self.json_names())
        self.assertEqual(sorted(self.shown_names()), ["b10.txt", "b2.txt", "bad\ufffdbyte.dat"])
        self.assertEqual(self.find("output")[0].text, "3 entries")
        self.assertEqual(self.find("input[name=q]")[0].get_attribute("value"), "B")
        self.driver.save_screenshot(os.path.join(self.artifacts, "visitor-search.png"))

    def test_axe_finds_nothing_serious(self):
        axe = find_axe()
        if axe is None:
            self.skipTest("axe-core is not installed (npm install --prefix build/axe axe-core)")
        with open(axe, encoding="utf-8") as f:
            source = f.read()
        for width in (1280, 390):
            for scheme in ("light", "dark"):
                self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                    "width": width, "height": 900, "deviceScaleFactor": 1,
                    "mobile": width <= 600})
                self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
                    "features": [{"name": "prefers-color-scheme", "value": scheme}]})
                self.driver.get(self.site.url("/m/?C=S&O=D&q=b"))
                self.driver.execute_script(source)
                result = self.driver.execute_async_script(
                    "const done = arguments[arguments.length - 1];"
                    "axe.run(document).then(r => done(r.violations.map(v => "
                    "({id: v.id, impact: v.impact, nodes: v.nodes.length}))));")
                serious = [v for v in result if v["impact"] in ("serious", "critical")]
                self.assertEqual(serious, [], (width, scheme))
                self.driver.save_screenshot(os.path.join(
                    self.artifacts, "visitor-axe-%d-%s.png" % (width, scheme)))


if __name__ == "__main__":
    unittest.main()
