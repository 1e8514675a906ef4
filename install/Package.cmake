# The Debian package, ovex-kelvo_<version>_<arch>.deb (`make package`, or cpack in the build
# folder): CPack's DEB generator runs this build's own install step into a staging folder, so
# the package is the files `cmake --install` puts in place, from the build already made. The
# machine hive is left out (the component machine-hive): the package's configure step
# (deb/postinst) writes it on the machine it is installed on, and purge (deb/postrm) removes it.
set(OVEX_PACKAGE_NAME ovex-kelvo)
set(deb_dir ${CMAKE_CURRENT_SOURCE_DIR}/deb)
set(deb_build_dir ${CMAKE_CURRENT_BINARY_DIR}/deb)

# What Debian asks of every package under /usr/share/doc, and the lintian tags that this
# layout raises on purpose (deb/lintian-overrides says why each one stays).
add_custom_command(OUTPUT ${deb_build_dir}/changelog.gz
  COMMAND gzip -9nc ${deb_dir}/changelog > ${deb_build_dir}/changelog.gz
  DEPENDS ${deb_dir}/changelog
  VERBATIM)
add_custom_target(package_files ALL DEPENDS ${deb_build_dir}/changelog.gz)
set(deb_doc /usr/share/doc/${OVEX_PACKAGE_NAME})
install(FILES ${deb_dir}/copyright ${deb_build_dir}/changelog.gz DESTINATION ${deb_doc} COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${deb_dir}/lintian-overrides DESTINATION /usr/share/lintian/overrides RENAME ${OVEX_PACKAGE_NAME}
        COMPONENT deb EXCLUDE_FROM_ALL)

configure_file(${deb_dir}/postinst.in ${deb_build_dir}/postinst @ONLY)
configure_file(${deb_dir}/postrm ${deb_build_dir}/postrm COPYONLY)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${OVEX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Ovex)
set(CPACK_PACKAGE_CONTACT "Ovex Kelvo developers <dev@ovex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "messages from the computer's maker, announced in the tray")
set(CPACK_PACKAGE_DESCRIPTION
    "Ovex Kelvo asks the maker's message service for new messages now and then,\n"
    "announces them in the system tray and shows them in its message window. On a\n"
    "user's first login its launcher registers the computer for them and hands over\n"
    "to the message client.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${OVEX_SUPPORT_HOST}/")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The programs' libraries come from dpkg-shlibdeps; these the programs need at run time
# though no library names them: the page script's fonts and their matching, and the browser's
# resources, the X11 screen-saver extension's library that the idle time loads at its first
# use, and libcurl, which the internet layer loads at its first call. Two more come through
# the libraries' own shlibs: the xcb platform plugin ships in libqt6gui6, and WebEngine's
# names its helper process, libqt6webenginecore6-bin.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fontconfig, fonts-liberation, libqt6webengine6-data, libxss1, libcurl4 (>= ${CURL_VERSION})")
# E-mail registration goes through a mail transfer agent's sendmail, the printed form to CUPS;
# without them the launcher offers the other ways.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "default-mta | mail-transport-agent, cups")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${deb_build_dir}/postinst ${deb_build_dir}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)

# Absolute destinations (/etc/xdg, /usr/share) land in the staging folder too.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_INSTALL_CMAKE_PROJECTS
    ${CMAKE_BINARY_DIR} ${PROJECT_NAME} Unspecified /
    ${CMAKE_BINARY_DIR} ${PROJECT_NAME} deb /)
# `make package` builds this build's package only; no source package.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
