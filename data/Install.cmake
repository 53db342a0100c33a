# What `cmake --install` puts where, and the .deb that scripts/package makes of it.
include(GNUInstallDirs)

# The date of this version's release: the AppStream entry and the package's changelog name it.
set(VOLLUM_RELEASE_DATE 2026-12-09)
set(VOLLUM_RELEASE_DATE_RFC2822 "Wed, 09 Dec 2026 00:00:00 +0000")
set(VOLLUM_MAINTAINER "Vollum developers <vollum@example.org>")

install(TARGETS Vollum SpoolBay vollum-subst RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(_data ${CMAKE_CURRENT_SOURCE_DIR}/data)
install(FILES ${_data}/applications/org.vollum.Vollum.desktop ${_data}/applications/org.vollum.SpoolBay.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_data}/icons/vollum.svg ${_data}/icons/spoolbay.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_data}/icons/48/vollum.png ${_data}/icons/48/spoolbay.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
foreach(_app Vollum SpoolBay)
  configure_file(${_data}/metainfo/org.vollum.${_app}.metainfo.xml
                 ${CMAKE_CURRENT_BINARY_DIR}/metainfo/org.vollum.${_app}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/metainfo/org.vollum.${_app}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endforeach()

# A drop box without a desktop: systemd user units that run the packaged
# /usr/bin/Vollum --spool (the package's prefix is always /usr).
install(FILES ${_data}/systemd/vollum-spool.path ${_data}/systemd/vollum-spool.service
        DESTINATION lib/systemd/user)

# Manual pages and the package's changelog go compressed, without a time stamp in the gzip header.
set(_compressed)
function(vollum_gzip source name)
  set(_plain ${CMAKE_CURRENT_BINARY_DIR}/installed/${name})
  configure_file(${source} ${_plain} @ONLY)
  add_custom_command(OUTPUT ${_plain}.gz COMMAND gzip -9nf -k ${_plain} DEPENDS ${_plain} VERBATIM)
  set(_compressed ${_compressed} ${_plain}.gz PARENT_SCOPE)
endfunction()
foreach(_page Vollum SpoolBay vollum-subst)
  vollum_gzip(${_data}/man/${_page}.1 ${_page}.1)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/installed/${_page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# A package of the project's own, not a Debian one: its changelog is changelog.gz.
vollum_gzip(${_data}/package/changelog changelog)
add_custom_target(vollum_compressed ALL DEPENDS ${_compressed})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/installed/changelog.gz ${_data}/package/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vollum)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vollum)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VOLLUM_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VOLLUM_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop FTP client with unattended drop and spool uploads")
# The summary is the first line of the package's description; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vollum talks to one FTP server at a time and shows every command and reply.
Its menus list, change, make and remove remote directories, get, put, view,
rename and delete files. Transfers run in active or passive mode, in plain
text or over explicit TLS. Files dropped on its launcher are uploaded at once,
and it runs unattended from scheduled jobs.
.
SpoolBay turns a folder into an upload drop box: it maps a drive name onto
Vollum's spool folder and starts Vollum whenever something lands there.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# TLS loads libssl.so.3 when the first encrypted connection needs it, so
# dpkg-shlibdeps cannot see it among the linked libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3")
# xdg-open shows viewed files and listings in the desktop's own programs;
# without it Vollum shows them in a viewer of its own.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
