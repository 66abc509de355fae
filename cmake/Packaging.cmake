# What `cmake --install` puts where, and the Debian package CPack makes of it.

# The manual page carries the version; its date is the page's last change. It is
# installed compressed, as man pages are on Debian (gzip -n: the same bytes every build).
if(NOT WIN32)
  set(HUANGLANG_MAN_DATE 2026-12-09)
  set(page "${PROJECT_BINARY_DIR}/huanglang.6")
  configure_file("${PROJECT_SOURCE_DIR}/doc/huanglang.6.in" "${page}" @ONLY)
  add_custom_command(OUTPUT "${page}.gz" COMMAND gzip -9nc "${page}" > "${page}.gz"
                     DEPENDS "${page}" COMMENT "Compressing the manual page")
  add_custom_target(manual_page ALL DEPENDS "${page}.gz")
  install(FILES "${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
endif()

# Who holds what, in Debian's machine-readable form: the code under the Expat
# (MIT) licence, the texts the player reads under CC-BY-SA-3.0.
install(FILES "${PROJECT_SOURCE_DIR}/doc/copyright" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

# The package: `cpack -G DEB`, or the deb workflow preset.
set(CPACK_PACKAGE_NAME huanglang)
set(CPACK_PACKAGE_VENDOR "The huanglang developers")
set(CPACK_PACKAGE_CONTACT "The huanglang developers <huanglang@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "黄廊探索, a single-player story for the text console")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://example.org/huanglang")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# huanglang_<version>_<architecture>.deb, as apt and dpkg name them.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "An interactive story in Simplified Chinese, told at the terminal with\npaced text, single-key choices, an explorer terminal of reference pages\nand supply boxes. It keeps nothing between runs.")
# The dependencies are whatever the binary really links, as dpkg-shlibdeps
# reads them off it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
