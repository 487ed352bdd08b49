# Writes the setup pages' files into a C++ source as a table of raw strings,
# so that the program carries them; the hand box is put into each page here.
#   cmake -DWEB=<folder> -DOUT=<file.cpp> [-DCHART_JS=<chart.min.js>] -P embed_web.cmake
# With CHART_JS the chart library is carried too, at the path it is served from.
file(READ ${WEB}/handbox.html handbox)
set(table "")
foreach(entry "index.html|/setup|text/html" "focuser.html|/setup/v1/focuser/0/setup|text/html"
              "filterwheel.html|/setup/v1/filterwheel/0/setup|text/html"
              "style.css|/setup/style.css|text/css" "setup.js|/setup/setup.js|text/javascript"
              "history.js|/setup/history.js|text/javascript")
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 path)
  list(GET parts 2 type)
  file(READ ${WEB}/${name} content)
  string(REPLACE "@HANDBOX@" "${handbox}" content "${content}")
  string(APPEND table "    {\"${path}\", \"${type}; charset=utf-8\", R\"QUILLMOOR_WEB(${content})QUILLMOOR_WEB\"},\n")
endforeach()
if(CHART_JS)
  file(READ ${CHART_JS} content)
  string(APPEND table "    {\"/javascript/chart.js/chart.min.js\", \"text/javascript; charset=utf-8\", R\"QUILLMOOR_WEB(${content})QUILLMOOR_WEB\"},\n")
endif()
file(WRITE ${OUT}.new "// Made from alpaca/web by embed_web.cmake; not to be edited.\n#include \"alpaca/web_files.h\"\n\nnamespace quillmoor::alpaca {\n\nconst WebFile kWebFiles[] = {\n${table}};\nconst size_t kWebFileCount = sizeof kWebFiles / sizeof kWebFiles[0];\n\n}  // namespace quillmoor::alpaca\n")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
