"""The helpers of the Python suites (tests/e2e, server, fastcgi, hardening),
one module per job:

- programs: where the built programs and the source tree are, Wine;
- files: writing and reading a test's files;
- accounts: the accounts the servers run as when the tests run as root;
- client: free ports, one HTTP request and its response;
- cgi_site: Dirvane run as a CGI program in a temporary site;
- httpd_site: dirvane-httpd (and so lighttpd) serving a temporary site;
- servers: the real web servers and spawn-fcgi, started and stopped;
- fastcgi_site: the site every FastCGI server test shares;
- pages: reading a listing page (links, rows, the strict HTML parser);
- byte_names: a folder of names holding every byte, and its check;
- records: the access log record and the figures a check prints;
- browser: headless Chromium through Selenium;
- fastcgi_cases, visitor_cases: test cases several servers run.

The ctest entries put tests/support on PYTHONPATH; a test module imports
this package and never another test module. The case classes are mixins,
not TestCase subclasses, so that only the classes that combine them with a
server run."""
