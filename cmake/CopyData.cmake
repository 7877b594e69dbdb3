# Copies data/ beside the programs. Sample projects name their photos by the
# photographer's paths; the copies name the photos where they now lie, so a
# sample opens without searching for moved images.
file(COPY ${SRC}/samples DESTINATION ${DST})
file(GLOB projects ${SRC}/samples/*/*.vpj)
foreach(source ${projects})
  file(RELATIVE_PATH rel ${SRC} ${source})
  set(target ${DST}/${rel})
  get_filename_component(folder ${target} DIRECTORY)
  file(READ ${source} text)
  string(REGEX REPLACE "name=[^\r\n]*[\\/]([^\\/\r\n]*)" "name=${folder}/\\1" text "${text}")
  file(WRITE ${target}.new "${text}")
  file(COPY_FILE ${target}.new ${target} ONLY_IF_DIFFERENT)
  file(REMOVE ${target}.new)
endforeach()
