"""Headless Chromium (Debian's chromium and chromium-driver) through
python3-selenium, for the browser tests."""

import os
import shutil
import sys
import tempfile
import unittest

from .programs import ARTIFACTS
from .servers import LIGHTTPD


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

# Skips a test class without what a browser test needs.
needs_browser = unittest.skipIf(MISSING, "not installed: %s (apt-get install %s)" % (
    ", ".join(MISSING), " ".join(MISSING)))


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
