# Run by `cmake --install`: the installed sample projects name their photos
# where the photos were installed.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${KALVANE_PROGRAM_DIR}")
file(GLOB projects "${root}/samples/*/*.vpj")
foreach(project ${projects})
  get_filename_component(folder ${project} DIRECTORY)
  string(LENGTH "$ENV{DESTDIR}" cut)
  string(SUBSTRING "${folder}" ${cut} -1 folder)
  file(READ ${project} text)
  string(REGEX REPLACE "name=[^\r\n]*[\\/]([^\\/\r\n]*)" "name=${folder}/\\1" text "${text}")
  file(WRITE ${project} "${text}")
endforeach()
