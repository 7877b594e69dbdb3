# The installed layout: the three programs on the PATH, the mobile export's
# helper programs in a private folder, everything else the programs ship in
# share/. The programs find the last two relative to their own folder, so a
# tree installed under any prefix works; a build tree holds all of it
# beside the programs instead.
set(KALVANE_INSTALL_HELPERDIR "lib/kalvane" CACHE STRING
    "Where the helper programs are installed, relative to the prefix")
set(KALVANE_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/kalvane" CACHE STRING
    "Where the programs' data is installed, relative to the prefix")

# A folder of the layout as a full path, and as seen from the programs.
function(kalvane_full out dir)
  if(NOT IS_ABSOLUTE "${dir}")
    set(dir "${CMAKE_INSTALL_PREFIX}/${dir}")
  endif()
  set(${out} "${dir}" PARENT_SCOPE)
endfunction()
kalvane_full(bin_full "${CMAKE_INSTALL_BINDIR}")
kalvane_full(data_full "${KALVANE_INSTALL_DATADIR}")
kalvane_full(helpers_full "${KALVANE_INSTALL_HELPERDIR}")
file(RELATIVE_PATH data_from_programs "${bin_full}" "${data_full}")
file(RELATIVE_PATH helpers_from_programs "${bin_full}" "${helpers_full}")
target_compile_definitions(kalvane_base PRIVATE KALVANE_DATA_FROM_PROGRAM="${data_from_programs}"
                           KALVANE_HELPERS_FROM_PROGRAM="${helpers_from_programs}")

install(TARGETS kalvane kalvane-cli fotomill RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS jpeg2swf swfcombine RUNTIME DESTINATION ${KALVANE_INSTALL_HELPERDIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/template ${CMAKE_BINARY_DIR}/velzoom ${CMAKE_BINARY_DIR}/help
                  ${CMAKE_BINARY_DIR}/icons ${CMAKE_BINARY_DIR}/samples ${CMAKE_BINARY_DIR}/template_m
        DESTINATION ${KALVANE_INSTALL_DATADIR})
# The sample projects name their photos where they are installed.
install(CODE "set(KALVANE_DATA_DIR \"${KALVANE_INSTALL_DATADIR}\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallSamples.cmake)

# The desktop: the two windowed programs' entries, the project file type,
# the software centre's description and the icon at the usual sizes.
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/kalvane.desktop
              ${PROJECT_SOURCE_DIR}/data/desktop/fotomill.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/kalvane-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME kalvane.xml)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/kalvane.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME example.kalvane.Kalvane.metainfo.xml)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/kalvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

find_program(KALVANE_VIPSTHUMBNAIL vipsthumbnail REQUIRED)
set(icons)
foreach(size 16 24 32 48 64 128 256)
  set(png ${CMAKE_BINARY_DIR}/hicolor/${size}x${size}/apps/kalvane.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/hicolor/${size}x${size}/apps
    COMMAND ${KALVANE_VIPSTHUMBNAIL} ${PROJECT_SOURCE_DIR}/data/icons/kalvane.svg
            --size ${size}x${size} -o ${png}[strip]
    DEPENDS ${PROJECT_SOURCE_DIR}/data/icons/kalvane.svg
    COMMENT "Drawing the ${size} pixel icon"
    VERBATIM)
  list(APPEND icons ${png})
endforeach()
add_custom_target(kalvane_icons ALL DEPENDS ${icons})
install(DIRECTORY ${CMAKE_BINARY_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The manual pages, each from its template and its program's own --help,
# naming the folders of this layout.
set(pages)
foreach(program kalvane kalvane-cli fotomill)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${PROJECT_SOURCE_DIR}/data/man/help-to-roff ${PROJECT_SOURCE_DIR}/data/man/${program}.1.in
            ${page} VERSION=${PROJECT_VERSION}
            DATADIR=${data_full} HELPERDIR=${helpers_full} -- $<TARGET_FILE:${program}>
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/data/man/help-to-roff
            ${PROJECT_SOURCE_DIR}/data/man/${program}.1.in
    COMMENT "Writing the manual page of ${program}"
    VERBATIM)
  list(APPEND pages ${page})
endforeach()
add_custom_target(kalvane_man ALL DEPENDS ${pages})
install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
