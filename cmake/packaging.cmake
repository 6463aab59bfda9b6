# Installation of both programs with their manual pages, and the Debian
# package built from it by `cpack -G DEB` in a build folder.
include(GNUInstallDirs)

install(TARGETS encrypter decrypter RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/encrypter.1 ${PROJECT_SOURCE_DIR}/man/decrypter.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME "vernam")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vernam file tools")
set(CPACK_PACKAGE_CONTACT "Vernam file tools maintainers <vernam@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "block-wise Vernam encryption of files (encrypter, decrypter)")
set(CPACK_PACKAGE_DESCRIPTION
    "Two interactive console programs in German: encrypter cuts a file into blocks of
16384 bytes, combines every byte with a key byte by exclusive or and writes the
blocks to a container NAME.VNZ and the keys to a key file NAME.VNS; decrypter
restores the file from the two. The keys come from a clock-seeded generator that
is not cryptographic: a compatibility tool for these files, not a replacement
for modern authenticated encryption.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
