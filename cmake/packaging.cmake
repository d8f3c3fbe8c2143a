# Installing the game (cmake --install) and the packages made from the installed tree (cpack).
#
#   POSIX:   the program, its tune, a manual page, a desktop entry with its icon and the documents;
#            packaged as a .deb and a .tar.gz (the `package` preset).
#   Windows: the program with res\Glyph.wav and a README.txt beside it, packaged as a .zip that
#            runs from wherever it is unpacked (the `windows` preset).
#
# The program looks for its tune in the working directory, beside itself, then in the installed
# data folder, found first from where the program is and last as configured here, so a tree
# installed under any prefix or unpacked anywhere finds its own data.
include(GNUInstallDirs)

set(GLYPH_PACKAGE_NAME glyph-labyrinth)

# Where the files go, relative to the prefix. A plain install follows the GNU folders (bin/, and
# the data in share/glyph-labyrinth/), which every system and a prefix like ~/.local put on the
# way. The Debian package keeps games apart, as Debian does: /usr/games and
# /usr/share/games/glyph-labyrinth (the `package` preset sets those).
if(WIN32)
  set(GLYPH_INSTALL_BINDIR "." CACHE STRING "Folder of the program, relative to the prefix")
  set(GLYPH_INSTALL_DATADIR "res" CACHE STRING "Folder of the tune, relative to the prefix")
else()
  set(GLYPH_INSTALL_BINDIR "${CMAKE_INSTALL_BINDIR}" CACHE STRING
      "Folder of the program, relative to the prefix (Debian: games)")
  set(GLYPH_INSTALL_DATADIR "${CMAKE_INSTALL_DATAROOTDIR}/${GLYPH_PACKAGE_NAME}" CACHE STRING
      "Folder of the tune, relative to the prefix (Debian: share/games/${GLYPH_PACKAGE_NAME})")
endif()
set(GLYPH_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/${GLYPH_PACKAGE_NAME}")

# The lookup learns both: the data folder relative to the program's, and where it is as configured.
foreach(dir BINDIR DATADIR)
  set(full_${dir} "${GLYPH_INSTALL_${dir}}")
  if(NOT IS_ABSOLUTE "${full_${dir}}")
    set(full_${dir} "${CMAKE_INSTALL_PREFIX}/${full_${dir}}")
  endif()
  cmake_path(NORMAL_PATH full_${dir})
endforeach()
cmake_path(RELATIVE_PATH full_DATADIR BASE_DIRECTORY "${full_BINDIR}"
           OUTPUT_VARIABLE GLYPH_DATA_DIR_FROM_PROGRAM)
string(REGEX REPLACE "/$" "" GLYPH_DATA_DIR_FULL "${full_DATADIR}")
if(WIN32)
  # A Windows game lives wherever it was unpacked; no folder is the installed one.
  set(GLYPH_DATA_DIR_FULL "")
endif()
target_compile_definitions(glyph_data_files PRIVATE
  GLYPH_DATA_DIR_FROM_PROGRAM="${GLYPH_DATA_DIR_FROM_PROGRAM}"
  GLYPH_DATA_DIR="${GLYPH_DATA_DIR_FULL}")

install(TARGETS glyph-labyrinth RUNTIME DESTINATION "${GLYPH_INSTALL_BINDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/res/Glyph.wav" DESTINATION "${GLYPH_INSTALL_DATADIR}")

set(GLYPH_DIST_DIR "${PROJECT_SOURCE_DIR}/dist")
set(GLYPH_DIST_BUILD_DIR "${PROJECT_BINARY_DIR}/dist")

set(CPACK_PACKAGE_NAME "${GLYPH_PACKAGE_NAME}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Glyph Labyrinth maintainers")
set(CPACK_PACKAGE_CONTACT "Glyph Labyrinth maintainers <maintainers@glyph-labyrinth.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "maze game for the text console")
# Lines under 80 characters, as Debian's package tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Walk one fixed maze with the arrow keys, eat the dots, open seven coloured
doors by standing on their switches, dodge the walkers and the projectiles
that the walls fire, and reach the finish before the clock runs down too far.
Drawn with box-drawing characters in sixteen colours in any terminal of at
least 100 columns by 30 rows, with a background tune.")
set(CPACK_STRIP_FILES ON)
# Whatever the umask of the machine that packs it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # The README in Windows' own line ends, for any Notepad.
  configure_file("${GLYPH_DIST_DIR}/README-windows.txt" "${GLYPH_DIST_BUILD_DIR}/README.txt"
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES "${GLYPH_DIST_BUILD_DIR}/README.txt" DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "${GLYPH_PACKAGE_NAME}-${PROJECT_VERSION}-win64")
  # Unpacked, everything sits in one folder of the zip's name.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  # Debian wants the manual page and the changelog compressed, without a time stamp inside.
  find_program(GLYPH_GZIP gzip)
  configure_file("${GLYPH_DIST_DIR}/glyph-labyrinth.6.in" "${GLYPH_DIST_BUILD_DIR}/glyph-labyrinth.6"
                 @ONLY)
  configure_file("${GLYPH_DIST_DIR}/changelog" "${GLYPH_DIST_BUILD_DIR}/changelog" COPYONLY)
  set(manual "${GLYPH_DIST_BUILD_DIR}/glyph-labyrinth.6")
  set(changelog "${GLYPH_DIST_BUILD_DIR}/changelog")
  if(GLYPH_GZIP)
    foreach(file manual changelog)
      add_custom_command(OUTPUT "${${file}}.gz"
                         COMMAND "${GLYPH_GZIP}" -9nkf "${${file}}"
                         DEPENDS "${${file}}"
                         COMMENT "Compressing ${${file}}" VERBATIM)
      set(${file} "${${file}}.gz")
    endforeach()
    add_custom_target(glyph_documents ALL DEPENDS "${manual}" "${changelog}")
  endif()

  install(FILES "${manual}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
  install(FILES "${GLYPH_DIST_DIR}/glyph-labyrinth.desktop"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/applications")
  install(FILES "${GLYPH_DIST_DIR}/glyph-labyrinth.svg"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps")
  install(FILES "${changelog}" "${GLYPH_DIST_DIR}/copyright" "${PROJECT_SOURCE_DIR}/README.md"
          DESTINATION "${GLYPH_INSTALL_DOCDIR}")

  # The package and the changelog it carries name the same version.
  file(STRINGS "${GLYPH_DIST_DIR}/changelog" changelogHead LIMIT_COUNT 1)
  if(NOT changelogHead MATCHES "^${GLYPH_PACKAGE_NAME} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "dist/changelog does not begin with version ${PROJECT_VERSION}")
  endif()

  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Dependencies from the shared libraries the program links (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The sound library is loaded when the game runs, so shlibdeps may not see it; the game plays
  # silent without it. The help viewer's first choice of editor comes from sensible-utils.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsdl2-mixer-2.0-0, sensible-utils")
endif()

include(CPack)
