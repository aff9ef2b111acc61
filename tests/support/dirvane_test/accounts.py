"""The accounts of a run as root: each server and Dirvane run as Debian
runs them, as www-data (Caddy as caddy), and a folder owner's files belong
to nobody."""

import os
import pwd


def account(name):
    try:
        return pwd.getpwnam(name)
    except KeyError:
        return None


AS_ROOT = os.geteuid() == 0
WWW_DATA = account("www-data") if AS_ROOT else None
OWNER = account("nobody") if AS_ROOT else None
# Started as root, dirvane-httpd runs lighttpd as www-data, which cannot
# reach a temporary site (mode 700) or a build folder under /root: the tests
# keep the account they run as unless they test the switch.
ME = pwd.getpwuid(os.geteuid()).pw_name
