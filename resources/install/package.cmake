# The Debian package, made by CPack's DEB generator (tools/package.sh): the programs, the
# pictures, the demo tune, the player folder with its note, the desktop entry, the
# module types (shared-mime-info), the AppStream metainfo, the icon, the man pages, the
# copyright and the changelog.
set(src ${CMAKE_CURRENT_LIST_DIR})
set(out ${CMAKE_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${out})
foreach(page orvex.1 orvex-convert.1 changelog)
    configure_file(${src}/${page} ${out}/${page} @ONLY)
    add_custom_command(OUTPUT ${out}/${page}.gz
        COMMAND gzip -9n -c ${out}/${page} > ${out}/${page}.gz
        DEPENDS ${out}/${page} VERBATIM)
    list(APPEND compressed ${out}/${page}.gz)
endforeach()
add_custom_target(orvex_package_files ALL DEPENDS ${compressed})
install(FILES ${out}/orvex.1.gz ${out}/orvex-convert.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvex RENAME changelog.gz)
install(FILES ${src}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvex)
configure_file(${src}/org.orvex.Orvex.metainfo.xml ${out}/org.orvex.Orvex.metainfo.xml @ONLY)
install(FILES ${out}/org.orvex.Orvex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The module types, so that file managers offer the program for them
install(FILES ${src}/orvex-modules.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_CONTACT "The Orvex team <orvex@orvex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn Atari 8-bit tracker modules into SAP files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Orvex takes a music module saved by an Atari 8-bit tracker (Chaos Music
Composer, Music Protracker 2.4, Theta Music Composer, Benjy Soundmonitor),
lets you type the tune's name, author and date, and writes a SAP file that
SAP players play without the tracker. orvex-convert does the same from the
command line, for one module or a whole archive.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://orvex.invalid/)
set(CPACK_STRIP_FILES ON)
include(CPack)
