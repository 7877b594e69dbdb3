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

# Design templates and the HTML preview's viewer. Every design gets its own
# velzoom.js: the one viewer with the design's colours, turn, autoplay and
# loading choices (from its design.ini,
# which itself is not installed: the export copies every file of a design).
file(COPY ${SRC}/template DESTINATION ${DST} PATTERN "design.ini" EXCLUDE)
file(COPY ${SRC}/velzoom DESTINATION ${DST})
file(COPY ${SRC}/help ${SRC}/icons DESTINATION ${DST})
file(READ ${SRC}/viewer/velzoom.js viewer)

function(write_if_changed path content)
  file(WRITE ${path}.new "${content}")
  file(COPY_FILE ${path}.new ${path} ONLY_IF_DIFFERENT)
  file(REMOVE ${path}.new)
endfunction()

file(GLOB designs ${SRC}/template/*/*/design.ini)
foreach(ini ${designs})
  file(STRINGS ${ini} settings REGEX "^(themeColor|bgcolor|turnSeconds|autoplay|spinOnce|stopOnTouch|resumeAfter|loadOn)=")
  set(js "${viewer}")
  foreach(setting ${settings})
    string(REGEX MATCH "^([A-Za-z]+)=(.*)$" _ "${setting}")
    string(REGEX REPLACE "var ${CMAKE_MATCH_1} = \"[^\"]*\";" "var ${CMAKE_MATCH_1} = \"${CMAKE_MATCH_2}\";"
           js "${js}")
  endforeach()
  file(RELATIVE_PATH rel ${SRC} ${ini})
  get_filename_component(folder ${DST}/${rel} DIRECTORY)
  write_if_changed(${folder}/velzoom.js "${js}")
  # The template window's preview of the design: its page with the
  # thumbnail where the viewer would be (a design folder has no movie).
  file(READ ${folder}/velzoom.html page)
  string(REGEX REPLACE "<div class=\"viewer\"[^>]*data-velzoom=[^>]*></div>"
         "<img class=\"viewer\" src=\"prev.jpg\" alt=\"\" style=\"display:block;width:100%;height:auto\">"
         page "${page}")
  string(REPLACE "<script src=\"velzoom.js\"></script>" "" page "${page}")
  write_if_changed(${folder}/prev.html "${page}")
endforeach()
write_if_changed(${DST}/velzoom/velzoom.js "${viewer}")
