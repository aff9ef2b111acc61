"""UTF-8 names in a real browser: the test server lists a folder of UTF-8
names with charset=UTF-8 in Dirvane.ini; headless Chromium loads the page,
reads the title and link texts as Unicode, follows the links to a kanji
folder and to a file, and saves a screenshot of the listing."""

import os
import unittest
import urllib.parse

from dirvane_test.browser import needs_browser, start_browser
from dirvane_test.files import write
from dirvane_test.httpd_site import Site

FOLDER = "写真"
FILES = ["日本語.txt", "かな・カナ.txt", "Café résumé.txt", "😀 smile.txt"]
CONTENT = "utf-8 browser file"


@needs_browser
class Utf8Browser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = Site("[index]\ncharset=UTF-8\n")
        cls.addClassCleanup(site.close)
        d = site.docroot
        write(os.path.join(d, "ファイル", "config.index"), "")
        write(os.path.join(d, "ファイル", FOLDER, "config.index"), "")
        write(os.path.join(d, "ファイル", FOLDER, "海.txt"), "sea")
        for name in FILES:
            write(os.path.join(d, "ファイル", name), CONTENT)
        site.register()
        site.start()

        start_browser(cls, "1000,500")

    def links(self):
        from selenium.webdriver.common.by import By
        return [(a.text, a.get_attribute("href"))
                for a in self.driver.find_elements(By.CSS_SELECTOR, "pre a")]

    def url(self, *names):
        return self.site.url("/" + "/".join(urllib.parse.quote(n) for n in names))

    def test_unicode_names_and_their_links(self):
        from selenium.webdriver.common.by import By

        self.driver.get(self.url("ファイル", ""))
        self.assertEqual(self.driver.title, "Index of /ファイル/")
        self.driver.save_screenshot(os.path.join(self.artifacts, "browser-utf8-listing.png"))
        links = self.links()
        self.assertEqual(links[0], (FOLDER, self.url("ファイル", FOLDER, "")))
        self.assertEqual(sorted(links[1:]),
                         sorted((name, self.url("ファイル", name)) for name in FILES))

        self.driver.find_element(By.LINK_TEXT, FOLDER).click()
        self.assertEqual(self.driver.title, "Index of /ファイル/%s/" % FOLDER)
        self.assertEqual(self.links(), [("海.txt", self.url("ファイル", FOLDER, "海.txt"))])

        self.driver.back()
        self.driver.find_element(By.LINK_TEXT, "😀 smile.txt").click()
        self.assertEqual(self.driver.current_url, self.url("ファイル", "😀 smile.txt"))
        self.assertEqual(self.driver.find_element(By.TAG_NAME, "body").text, CONTENT)


if __name__ == "__main__":
    unittest.main()
