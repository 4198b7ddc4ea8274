# Installation and the Debian package.
#   cmake --install build --prefix P   P/bin/ the four programs, P/share/orbitrak/utc.bin, the
#                                      desktop entry, the AppStream metadata, the icons and a
#                                      man page per program
#   cpack -G DEB (in the build folder) orbitrak_<version>_<arch>.deb with the same files
# The window finds its installed data relative to its own executable (../share/orbitrak/), so
# any prefix works.
include(GNUInstallDirs)

set(ORBITRAK_HOMEPAGE "https://orbitrak.example" CACHE STRING
    "Home page named in the AppStream metadata (its screenshot is HOMEPAGE/docs/tracking.png)")
set(ORBITRAK_RELEASE_DATE "2026-12-07" CACHE STRING "Release date of this version (YYYY-MM-DD)")
set(ORBITRAK_APP_ID org.halvstar.orbitrak)

install(TARGETS orbitrak orbitrak-cli orbitrak-mountsim orbitrak-utctable
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${ORBITRAK_UTC_TABLE} DESTINATION ${CMAKE_INSTALL_DATADIR}/orbitrak)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${ORBITRAK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/resources/desktop/${ORBITRAK_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${ORBITRAK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${ORBITRAK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orbitrak
        RENAME copyright)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/orbitrak.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The man pages are made from each program's --help and --version by help2man (Debian's
# help2man), so they never fall behind the programs.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(man_pages)
    foreach(entry
            "orbitrak|follow artificial satellites with a Halvstar telescope mount"
            "orbitrak-cli|headless sky, pass and propagation computations of Orbitrak"
            "orbitrak-mountsim|a stand-in for a Halvstar mount, for tests and demonstrations"
            "orbitrak-utctable|build Orbitrak's leap-second and Delta T table")
        string(REPLACE "|" ";" parts "${entry}")
        list(GET parts 0 program)
        list(GET parts 1 summary)
        set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
        orbitrak_runnable(runnable ${program})
        add_custom_command(
            OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                    ${HELP2MAN} --no-info --no-discard-stderr --section=1
                    --name=${summary} --output=${page} ${runnable}
            COMMAND gzip -9nf ${page}
            DEPENDS ${program}
            COMMENT "Writing the man page of ${program}"
            VERBATIM)
        list(APPEND man_pages ${page}.gz)
    endforeach()
    add_custom_target(orbitrak_man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "help2man not found: no man pages will be installed (apt-get install help2man)")
endif()

set(CPACK_PACKAGE_NAME orbitrak)
set(CPACK_PACKAGE_VENDOR Halvstar)
set(CPACK_PACKAGE_CONTACT "Halvstar Orbitrak developers <orbitrak@halvstar.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Follow artificial satellites with a Halvstar telescope mount")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Follow artificial satellites with a Halvstar telescope mount\n\
Orbitrak reads a catalogue of two-line element sets, propagates every satellite\n\
with SGP4/SDP4, shows where each one stands in the sky from the observing site and\n\
drives a network-connected Halvstar mount: it uploads the chosen element set, has\n\
the mount slew to the pass and shows the tracking state and axis errors.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack names the machine's own architecture unless told; shlibdeps then needs the target's
# libraries and their shlibs files, which multiarch installs beside the machine's.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
# Qt opens OpenSSL only when a secure connection is made, which shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3, ca-certificates")
# Qt's own translations of its standard dialogs, used beside the program's own.
if(ORBITRAK_QT_MAJOR EQUAL 6)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
else()
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qttranslations5-l10n")
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
include(CPack)
