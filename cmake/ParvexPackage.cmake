# The Debian package: `cpack -G DEB` in a build tree configured with
# -DCMAKE_INSTALL_PREFIX=/usr (scripts/package.sh does both).
set(CPACK_PACKAGE_NAME parvex)
set(CPACK_PACKAGE_VENDOR "Parvex")
set(PARVEX_PACKAGE_MAINTAINER "Parvex developers <parvex@parvex.invalid>" CACHE STRING
    "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${PARVEX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "send files from the file manager to FTP servers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps must not take our private libraries for system ones.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}/bin")
# What the programs start or read at run time rather than link: the Japanese
# font of every dialog, the file-type database of the extension sheet, and
# xdg-open for the help page and links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk, shared-mime-info, xdg-utils")
# One of the file managers whose menu the package reaches without the user
# adding anything; any of them will do, so no desktop is pulled in.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "nautilus | nemo | caja | dolphin | thunar")
# The long description below the summary line; CPack indents each line and
# turns an empty line into the paragraph mark. No double quotes: they do not
# survive CPack's configuration file.
set(CPACK_PACKAGE_DESCRIPTION "Parvex adds a Parvex menu to the file managers GNOME Files, Nemo, Caja,
Dolphin and Thunar (and, through the parvex-menu command, to others that
run a custom command): choose a saved FTP server and one of its
directories, and the selected files and folders are uploaded, folders
recursively, in text or binary mode by extension, Japanese text optionally
converted between Shift_JIS, JIS and EUC-JP, files routed to server
directories by extension.

The package holds the provider manager Lumeno (morvane), the transfer
program, the remote browser, the settings tool reg and the text code
converter tesvar.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The version lives in project() and in the Debian changelog's first entry:
# a package whose changelog names another version confuses apt and lintian.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog parvex_changelog_head LIMIT_COUNT 1)
if(NOT parvex_changelog_head MATCHES "^parvex \\(${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}\\)")
  message(FATAL_ERROR "packaging/changelog begins with \"${parvex_changelog_head}\"; "
                      "its first entry must be ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
endif()

# Debian's documentation files: the copyright and the compressed changelog
# (gzip -n: no name or time stamp, so the package builds reproducibly).
set(parvex_changelog ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${parvex_changelog}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
                   COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${parvex_changelog}
                   DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(parvex_changelog ALL DEPENDS ${parvex_changelog})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${parvex_changelog} DESTINATION share/doc/parvex)

# A manual page for each command in bin, compressed as Debian keeps them.
foreach(page morvane reg tesvar parvex-menu)
  set(gz ${PROJECT_BINARY_DIR}/packaging/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging/man
                     COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/man/${page}.1 > ${gz}
                     DEPENDS ${PROJECT_SOURCE_DIR}/packaging/man/${page}.1 VERBATIM)
  list(APPEND parvex_man_pages ${gz})
endforeach()
add_custom_target(parvex_man_pages ALL DEPENDS ${parvex_man_pages})
install(FILES ${parvex_man_pages} DESTINATION share/man/man1)
# The lintian tags that do not apply to this package, each with its reason.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides DESTINATION share/lintian/overrides RENAME parvex)

include(CPack)
