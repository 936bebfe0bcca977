# A Debian package of what `cmake --install` puts in place: `cpack -G DEB`
# in the build folder writes serialnet_<version>_<arch>.deb, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME serialnet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Serial port and TCP/UDP test, debug and relay tool")
set(CPACK_PACKAGE_CONTACT "serialnet developers <serialnet@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The library packages the program links against, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The captions are Chinese: a font that has the characters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wqy-microhei)
include(CPack)
