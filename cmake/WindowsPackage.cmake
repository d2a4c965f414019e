# The archive a Windows user downloads: build-windows/quenlow-<version>-win64.zip
# holding quenlow.exe, quenlow-batch.exe, recfilt.dat, README.txt (the README
# for Windows users), the licence and the notices of the libraries linked
# into the programs.
#   cmake --build build-windows --target windows_zip
set(QUENLOW_ZIP_NAME quenlow-${PROJECT_VERSION}-win64)
set(QUENLOW_ZIP_STAGE ${CMAKE_BINARY_DIR}/package/${QUENLOW_ZIP_NAME})
add_custom_target(windows_zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUENLOW_ZIP_STAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUENLOW_ZIP_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quenlow> $<TARGET_FILE:quenlow-batch> ${PROJECT_SOURCE_DIR}/data/recfilt.dat
          ${QUENLOW_ZIP_STAGE}
  # Plain ASCII with the line ends Notepad has always understood.
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/docs/windows-readme.txt -DOUT=${QUENLOW_ZIP_STAGE}/README.txt
          -P ${PROJECT_SOURCE_DIR}/cmake/WindowsText.cmake
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/LICENSE -DOUT=${QUENLOW_ZIP_STAGE}/LICENSE.txt
          -P ${PROJECT_SOURCE_DIR}/cmake/WindowsText.cmake
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES
          -DOUT=${QUENLOW_ZIP_STAGE}/THIRD-PARTY-NOTICES.txt -P ${PROJECT_SOURCE_DIR}/cmake/WindowsText.cmake
  COMMAND ${CMAKE_COMMAND} -E rm -f ${CMAKE_BINARY_DIR}/${QUENLOW_ZIP_NAME}.zip
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
          ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/${QUENLOW_ZIP_NAME}.zip --format=zip ${QUENLOW_ZIP_NAME}
  DEPENDS quenlow quenlow-batch
  COMMENT "Packing ${QUENLOW_ZIP_NAME}.zip"
  VERBATIM)
