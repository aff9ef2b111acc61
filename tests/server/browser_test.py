"""A listing in a real browser: headless Chromium (Debian's chromium and
chromium-driver, through python3-selenium) loads a page from the test
server, follows a link to a subfolder and one to a file whose name holds a
space, "#", "%" and a Shift_JIS character, and saves screenshots."""

import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from server_run import ARTIFACTS, LIGHTTPD, NO_LIGHTTPD, Site, write  # noqa: E402


def import_selenium():
    """Selenium from Debian's python3-selenium, also when the tests run under
    another Python 3 than Debian's own."""
    try:
        import selenium.webdriver  # noqa: F401
    except ImportError:
        debian = "/usr/lib/python3/dist-packages"
        if not os.path.isdir(os.path.join(debian, "selenium")):
            return None
        sys.path.append(debian)
        try:
            import selenium.webdriver  # noqa: F401
        except ImportError:
            return None
    import selenium.webdriver
    return selenium.webdriver


webdriver = import_selenium()
CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver") or (
    "/usr/bin/chromedriver" if os.access("/usr/bin/chromedriver", os.X_OK) else None)
MISSING = [what for what, found in (("lighttpd", LIGHTTPD), ("chromium", CHROMIUM),
                                    ("chromium-driver", DRIVER),
                                    ("python3-selenium", webdriver)) if not found]

# "a b#c%d日.txt" with 日 in Shift_JIS (0x93 0xFA).
ODD_NAME = b"a b#c%d\x93\xfa.txt"
ODD_HREF = "a%20b%23c%25d%93%FA.txt"


def start_browser(cls, window):
    """Starts headless Chromium for a test class: cls.driver, and cls.artifacts
    for the screenshots; both are cleaned up with the class."""
    from selenium.webdriver.chrome.service import Service

    profile = tempfile.mkdtemp(prefix="dirvane-chromium-")
    cls.addClassCleanup(shutil.rmtree, profile, True)
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ("--headless", "--no-sandbox", "--disable-gpu",
                "--disable-background-networking", "--disable-component-update",
                "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                "--window-size=" + window, "--user-data-dir=" + profile):
        options.add_argument(arg)
    cls.driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    cls.addClassCleanup(cls.driver.quit)
    cls.driver.set_page_load_timeout(30)
    cls.artifacts = ARTIFACTS or tempfile.gettempdir()
    os.makedirs(cls.artifacts, exist_ok=True)


@unittest.skipIf(MISSING, "not installed: %s (apt-get install %s)" % (
    ", ".join(MISSING), " ".join(MISSING)))
class Browser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = Site()
        cls.addClassCleanup(site.close)
        d = site.docroot
        write(os.path.join(d, "config.index"), "")
        write(os.path.join(d, "sub", "config.index"), "")
        write(os.path.join(d, "sub", "inner.txt"), "inner")
        write(os.path.join(os.fsencode(d), ODD_NAME), "browser file")
        site.register()
        site.start()

        start_browser(cls, "1000,700")

    def links(self):
        from selenium.webdriver.common.by import By
        return {a.text: a.get_attribute("href")
                for a in self.driver.find_elements(By.CSS_SELECTOR, "pre a")}

    def click(self, text):
        from selenium.webdriver.common.by import By
        for a in self.driver.find_elements(By.CSS_SELECTOR, "pre a"):
            if a.text == text:
                a.click()
                return
        self.fail("no link %r among %r" % (text, list(self.links())))

    def test_listing_and_its_links(self):
        self.driver.get(self.site.url("/"))
        self.assertEqual(self.driver.title, "Index of /")
        self.driver.save_screenshot(os.path.join(self.artifacts, "browser-listing.png"))
        links = self.links()
        self.assertEqual(links.get("sub"), self.site.url("/sub/"))
        self.assertEqual(links.get("a b#c%d日.txt"), self.site.url("/" + ODD_HREF))

        self.click("sub")
        self.assertEqual(self.driver.current_url, self.site.url("/sub/"))
        self.assertEqual(self.driver.title, "Index of /sub/")
        self.assertEqual(self.links().get("inner.txt"), self.site.url("/sub/inner.txt"))
        self.driver.save_screenshot(os.path.join(self.artifacts, "browser-subfolder.png"))

        self.driver.back()
        self.click("a b#c%d日.txt")
        self.assertEqual(self.driver.current_url, self.site.url("/" + ODD_HREF))
        from selenium.webdriver.common.by import By
        self.assertEqual(self.driver.find_element(By.TAG_NAME, "body").text, "browser file")
        self.driver.save_screenshot(os.path.join(self.artifacts, "browser-file.png"))


if __name__ == "__main__":
    unittest.main()
