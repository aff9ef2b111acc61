# Manual pages, and the Debian packages that `cpack -G DEB` builds in the
# build folder: dirvane (Dirvane, dirvane-httpd, the web server snippets) and
# vanecfg (the window program, with its Qt libraries as dependencies).

set(DIRVANE_DEB_MAINTAINER "Dirvane developers <dirvane@example.org>" CACHE STRING
    "Maintainer field (name <address>) of the Debian packages")
set(DIRVANE_DEB_RELEASE 1)
set(DIRVANE_DEB_VERSION "${PROJECT_VERSION}-${DIRVANE_DEB_RELEASE}")

# Manual pages, compressed as Debian keeps them (gzip -9n: no name, no time,
# so the same source gives the same file).
set(dirvane_gzipped)
function(dirvane_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${source} ${output}
        DEPENDS ${source} VERBATIM)
    set(dirvane_gzipped ${dirvane_gzipped} ${output} PARENT_SCOPE)
endfunction()
set(dirvane_pkg ${CMAKE_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${dirvane_pkg})
dirvane_gzip(${PROJECT_SOURCE_DIR}/dist/man/Dirvane.8 ${dirvane_pkg}/Dirvane.8.gz)
dirvane_gzip(${PROJECT_SOURCE_DIR}/dist/man/dirvane-httpd.1 ${dirvane_pkg}/dirvane-httpd.1.gz)
dirvane_gzip(${PROJECT_SOURCE_DIR}/dist/man/Vanecfg.1 ${dirvane_pkg}/Vanecfg.1.gz)
configure_file(${PROJECT_SOURCE_DIR}/dist/debian/changelog.in ${dirvane_pkg}/changelog.Debian @ONLY)
dirvane_gzip(${dirvane_pkg}/changelog.Debian ${dirvane_pkg}/changelog.Debian.gz)
add_custom_target(dirvane_package_files ALL DEPENDS ${dirvane_gzipped})

install(FILES ${dirvane_pkg}/Dirvane.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8
        COMPONENT dirvane)
install(FILES ${dirvane_pkg}/dirvane-httpd.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT dirvane)
if(TARGET Vanecfg)
    install(FILES ${dirvane_pkg}/Vanecfg.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT vanecfg)
endif()

# What only the packages install (left out of a plain `cmake --install`):
# the common settings as a configuration file under /etc, reached through a
# link where Dirvane reads it, and the web servers' configuration where
# Debian's web servers keep it.
if(NOT DIRVANE_CGI_DIR STREQUAL "lib/cgi-bin")
    message(STATUS "Debian package: the lighttpd snippet names /usr/lib/cgi-bin/Dirvane, "
                   "not the DIRVANE_CGI_DIR ${DIRVANE_CGI_DIR}")
endif()
file(CREATE_LINK /etc/dirvane/Dirvane.ini ${dirvane_pkg}/Dirvane.ini SYMBOLIC)
install(FILES ${PROJECT_SOURCE_DIR}/dist/Dirvane.ini DESTINATION /etc/dirvane
        COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
install(FILES ${dirvane_pkg}/Dirvane.ini DESTINATION ${DIRVANE_CGI_DIR}
        COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/dist/lighttpd/20-dirvane.conf
        DESTINATION /etc/lighttpd/conf-available COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
set(dirvane_conffiles "/etc/dirvane/Dirvane.ini\n/etc/lighttpd/conf-available/20-dirvane.conf\n")
# The FastCGI mode's samples, when the source has them. The Apache and nginx
# files each hold a whole site (a virtual host, a server block on port 80),
# so they go where Debian keeps sites: enabled, they are a site of their own
# (a2ensite dirvane; a link in /etc/nginx/sites-enabled), never included into
# every other site.
set(dirvane_fastcgi ${PROJECT_SOURCE_DIR}/dist/fastcgi)
if(EXISTS ${dirvane_fastcgi}/apache.conf)
    install(FILES ${dirvane_fastcgi}/apache.conf DESTINATION /etc/apache2/sites-available
            RENAME dirvane.conf COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
    string(APPEND dirvane_conffiles "/etc/apache2/sites-available/dirvane.conf\n")
endif()
if(EXISTS ${dirvane_fastcgi}/nginx.conf)
    install(FILES ${dirvane_fastcgi}/nginx.conf DESTINATION /etc/nginx/sites-available
            RENAME dirvane COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
    string(APPEND dirvane_conffiles "/etc/nginx/sites-available/dirvane\n")
endif()
# nginx's snippet, for a server block of the administrator's own
# (include snippets/dirvane.conf;), such as Debian's default site.
if(EXISTS ${dirvane_fastcgi}/nginx-snippet.conf)
    install(FILES ${dirvane_fastcgi}/nginx-snippet.conf DESTINATION /etc/nginx/snippets
            RENAME dirvane.conf COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
    string(APPEND dirvane_conffiles "/etc/nginx/snippets/dirvane.conf\n")
endif()
# The upstream the snippet passes to (nginx keeps its connections open), in
# conf.d, which Debian's nginx.conf includes in its http block. It only names
# the upstream: no site changes until the snippet or the site is used.
if(EXISTS ${dirvane_fastcgi}/nginx-upstream.conf)
    install(FILES ${dirvane_fastcgi}/nginx-upstream.conf DESTINATION /etc/nginx/conf.d
            RENAME dirvane.conf COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
    string(APPEND dirvane_conffiles "/etc/nginx/conf.d/dirvane.conf\n")
endif()
foreach(unit dirvane.socket dirvane.service)
    if(EXISTS ${dirvane_fastcgi}/${unit})
        install(FILES ${dirvane_fastcgi}/${unit} DESTINATION /lib/systemd/system
                COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
    endif()
endforeach()
foreach(sample lighttpd.conf Caddyfile)
    if(EXISTS ${dirvane_fastcgi}/${sample})
        install(FILES ${dirvane_fastcgi}/${sample}
                DESTINATION ${CMAKE_INSTALL_DATADIR}/dirvane/fastcgi
                COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
    endif()
endforeach()
# The FastCGI socket's folder at every boot; the access logs' folder (owned
# by www-data, group adm, mode 0750: postinst sets that) and its rotation.
install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/tmpfiles.conf DESTINATION lib/tmpfiles.d
        RENAME dirvane.conf COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
install(DIRECTORY DESTINATION /var/log/dirvane COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/logrotate DESTINATION /etc/logrotate.d
        RENAME dirvane COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
string(APPEND dirvane_conffiles "/etc/logrotate.d/dirvane\n")
if(DIRVANE_STATIC)
    message(STATUS "Debian package: DIRVANE_STATIC links Dirvane statically; "
                   "Debian's packages link the shared ICU (configure without it)")
    install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME dirvane
            COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
endif()
file(WRITE ${dirvane_pkg}/conffiles "${dirvane_conffiles}")
install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/copyright ${dirvane_pkg}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dirvane COMPONENT dirvane_deb EXCLUDE_FROM_ALL)
if(TARGET Vanecfg)
    install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/copyright ${dirvane_pkg}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vanecfg
            COMPONENT vanecfg_deb EXCLUDE_FROM_ALL)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dirvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${DIRVANE_DEB_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENTS_ALL dirvane dirvane_deb)
set(CPACK_COMPONENT_DIRVANE_GROUP dirvane)
set(CPACK_COMPONENT_DIRVANE_DEB_GROUP dirvane)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${DIRVANE_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DIRVANE_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_DIRVANE_PACKAGE_NAME dirvane)
set(CPACK_DEBIAN_DIRVANE_PACKAGE_SECTION web)
set(CPACK_DEBIAN_DIRVANE_PACKAGE_RECOMMENDS "lighttpd | httpd-cgi")
set(CPACK_DEBIAN_DIRVANE_PACKAGE_SUGGESTS "spawn-fcgi, logrotate")
set(CPACK_DEBIAN_DIRVANE_PACKAGE_CONTROL_EXTRA
    ${dirvane_pkg}/conffiles ${PROJECT_SOURCE_DIR}/dist/debian/postinst
    ${PROJECT_SOURCE_DIR}/dist/debian/prerm ${PROJECT_SOURCE_DIR}/dist/debian/postrm)
set(CPACK_DEBIAN_DIRVANE_DESCRIPTION "folder listings for a web server (CGI program)
Dirvane lists a folder on a web server: the server runs it for the folder's
settings file (config.index), and it answers with an HTML page of the
folder's entries, filtered and sorted, as preformatted text or as a table.
.
The package holds the CGI program in /usr/lib/cgi-bin with its common
settings in /etc/dirvane, a lighttpd snippet (lighty-enable-mod dirvane),
the FastCGI configurations for nginx, Apache, Caddy and lighttpd with the
systemd units dirvane.socket and dirvane.service, dirvane-httpd, which
serves one folder through a private lighttpd, and an example folder.")
if(TARGET Vanecfg)
    list(APPEND CPACK_COMPONENTS_ALL vanecfg vanecfg_deb)
    set(CPACK_COMPONENT_VANECFG_GROUP vanecfg)
    set(CPACK_COMPONENT_VANECFG_DEB_GROUP vanecfg)
    set(CPACK_DEBIAN_VANECFG_PACKAGE_NAME vanecfg)
    set(CPACK_DEBIAN_VANECFG_PACKAGE_SECTION web)
    set(CPACK_DEBIAN_VANECFG_PACKAGE_DEPENDS "dirvane (= ${DIRVANE_DEB_VERSION}), qt6-translations-l10n")
    set(CPACK_DEBIAN_VANECFG_DESCRIPTION "administrator's window program for Dirvane
Vanecfg edits Dirvane's common settings and the folders' settings files,
switches folder listings on and off, registers Dirvane with the web server
and shows a listing page as a browser would get it.")
endif()
include(CPack)
