# `make package`: a Debian package, tessarel_<version>_amd64.deb, by CPack's DEB generator, of
# everything the install rules name: both programs, the desktop entry and icons, the metainfo,
# the manual pages and the documents Debian asks for.
#
# Its dependencies are what dpkg-shlibdeps finds the programs linked to, plus what the window
# needs at run time without linking it: the dialog's CJK font and its English one, Qt's translations of its own
# texts, and Qt's platform plugins (the xcb and Wayland ones).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessarel)
set(CPACK_PACKAGE_VENDOR "Tessarel developers")
set(CPACK_PACKAGE_CONTACT "Tessarel developers <tessarel@users.noreply.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch video converter with a skinned window")
set(CPACK_PACKAGE_DESCRIPTION
  "Tessarel re-encodes a list of video files (MPEG, AVI, QuickTime) into AVI
files, one after another, each into a folder named converted beside its input,
with the video compressor of the user's choice and the input's audio carried
over untouched. Its skinned window shows the progress, previews inputs, opens
finished outputs and can switch the computer off when the list is done.
.
The tessarel-convert command does the same conversion from scripts, and runs
under GNU parallel to spread a large batch over several machines.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Whatever the builder's umask, the folders are as Debian wants them.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-arphic-uming, fonts-dejavu-core, qt6-translations-l10n, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "parallel")

include(CPack)
