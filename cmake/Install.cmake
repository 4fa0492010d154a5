# `cmake --install BUILD --prefix PREFIX` puts the program folder, as
# build/bin holds it without the tests' files, into PREFIX/lib/mantole: the
# programs find the libraries, the stub and their data beside themselves
# (the folder of the running program is that of the file a link leads
# to). The commands are relative links in PREFIX/bin; the application entry
# and the icon go where the desktop looks, PREFIX/share.
#
# The libraries are loaded at run time by their full path, and the
# programs link no library of ours, so no RPATH is needed.

set(MANTOLE_PROGRAM_DIR lib/mantole)
set(bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})

install(TARGETS mantole mantole-cli mantole-shell RUNTIME DESTINATION ${MANTOLE_PROGRAM_DIR})
install(TARGETS ziplib unzlib LIBRARY DESTINATION ${MANTOLE_PROGRAM_DIR})

# SfxStub64.bin only serves the tests under wine64: the executables we
# write carry the 32-bit stub, which every Windows runs.
set(program_files SfxStub.bin icones.dll matrix.gif 11.wav 12.wav 21.wav 22.wav 3.wav 4.wav error.wav)
foreach(language french english deutsch italiano espanol)
    list(APPEND program_files ${language}.lgn)
endforeach()
foreach(page velmorak velmorak_d velmorak_e velmorak_i velmorak_s)
    list(APPEND program_files ${page}.html)
endforeach()
list(TRANSFORM program_files PREPEND ${bin}/)
install(FILES ${program_files} DESTINATION ${MANTOLE_PROGRAM_DIR})
# The mark of an installed copy: settings go to each user's folders, also
# for root, who could write here.
install(FILES ${PROJECT_SOURCE_DIR}/data/mantole.installed DESTINATION ${MANTOLE_PROGRAM_DIR})
# The icon, in the program folder for the per-user menu entries, and in the
# system's theme.
install(DIRECTORY ${bin}/icons DESTINATION ${MANTOLE_PROGRAM_DIR})
install(DIRECTORY ${bin}/icons/hicolor DESTINATION share/icons)

set(links ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${links})
foreach(program mantole mantole-cli mantole-shell)
    file(CREATE_LINK ../${MANTOLE_PROGRAM_DIR}/${program} ${links}/${program} SYMBOLIC)
    install(PROGRAMS ${links}/${program} DESTINATION bin)
endforeach()

# The application entry names the wizard by the prefix it is installed
# under, known only at install time (--prefix, or /usr for the package).
# Written under a name of its own per run: an install and a package may be
# made from one build at once.
install(CODE "
    file(READ \"${PROJECT_SOURCE_DIR}/data/mantole.desktop.in\" entry)
    set(MANTOLE_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${MANTOLE_PROGRAM_DIR}/mantole\")
    string(CONFIGURE \"\${entry}\" entry @ONLY)
    string(RANDOM LENGTH 12 run)
    set(made \"${CMAKE_BINARY_DIR}/install-links/mantole-\${run}.desktop\")
    file(WRITE \"\${made}\" \"\${entry}\")
    file(INSTALL \"\${made}\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/applications\" RENAME mantole.desktop)
    file(REMOVE \"\${made}\")
")

# `cpack -G DEB` in the build folder: the Debian package of what the build
# made, its dependencies computed by dpkg-shlibdeps from the programs and
# libraries it holds.
set(CPACK_PACKAGE_NAME mantole)
set(CPACK_PACKAGE_VENDOR "Mantole")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes self-extracting Windows executables from ZIP archives, and back")
# The summary is the synopsis line; this is the long description after it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A wizard turns a ZIP archive into a self-extracting Windows executable with
its own title, icon, message, proposed folder, overwrite rules and a command
run after extraction, and turns such an executable back into the identical
archive. It also lists, tests, adds to and deletes from archives.
mantole-cli does the same from a terminal, and the file managers' menus
(Dolphin, GNOME Files, Nemo, Thunar) can call it on a selected file.")
set(CPACK_PACKAGE_CONTACT "Mantole developers <mantole@example.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Errors of the menus' handler go to a desktop notification when it can.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libnotify-bin")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
