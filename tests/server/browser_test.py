"""A listing in a real browser: headless Chromium (Debian's chromium and
chromium-driver, through python3-selenium) loads a page from the test
server, follows a link to a subfolder and one to a file whose name holds a
space, "#", "%" and a Shift_JIS character, and saves screenshots."""

import os
import unittest

from dirvane_test.browser import needs_browser, start_browser
from dirvane_test.files import write
from dirvane_test.httpd_site import Site

# "a b#c%d日.txt" with 日 in Shift_JIS (0x93 0xFA).
ODD_NAME = b"a b#c%d\x93\xfa.txt"
ODD_HREF = "a%20b%23c%25d%93%FA.txt"


@needs_browser
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
