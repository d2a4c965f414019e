# Writes IN to OUT.gz as Debian installs documents: gzip -9n (no name, no
# time stamp, so the bytes depend on the text alone). With VERSION, a manual
# page's .TH line gets the version after the program's name: "Quenlow" there
# becomes "Quenlow <VERSION>".
#   cmake -DIN=docs/quenlow.1 -DOUT=build/share/man/man1/quenlow.1 [-DVERSION=1.0] -P GzipDocument.cmake
file(READ ${IN} text)
if(DEFINED VERSION)
  string(REGEX REPLACE "(\n|^)(\\.TH [^\n]*)\"Quenlow\"" "\\1\\2\"Quenlow ${VERSION}\"" text "${text}")
endif()
file(WRITE ${OUT} "${text}")
execute_process(COMMAND gzip -9nf ${OUT} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip could not compress ${OUT}")
endif()
