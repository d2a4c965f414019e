# What a Linux install holds besides the programs (each installs itself):
# the coefficient file, the manual pages, the documents under
# share/doc/quenlow and bash completion; and `make deb`'s package of it all
# (cmake/DebianPackage.cmake).
install(FILES data/recfilt.dat DESTINATION ${CMAKE_INSTALL_DATADIR}/quenlow)

# The changelog and NEWS record the version project() gives; a release that
# forgot them stops here rather than ship a package that contradicts itself.
file(STRINGS packaging/changelog changelog_head LIMIT_COUNT 1)
file(STRINGS NEWS news_heads REGEX "^Quenlow [0-9]")
list(GET news_heads 0 news_head)
if(NOT changelog_head MATCHES "^quenlow \\(${PROJECT_VERSION}\\) " OR NOT news_head MATCHES "^Quenlow ${PROJECT_VERSION} ")
  message(FATAL_ERROR "packaging/changelog and NEWS must begin with version ${PROJECT_VERSION}, the one project() gives")
endif()

# Manual pages with the version in their footer, and the changelog, gzipped
# as Debian installs them.
set(compressed)
foreach(page quenlow quenlow-batch quenlow-filter)
  set(out ${CMAKE_BINARY_DIR}/share/man/man1/${page}.1)
  add_custom_command(OUTPUT ${out}.gz
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/docs/${page}.1 -DOUT=${out} -DVERSION=${PROJECT_VERSION}
            -P ${PROJECT_SOURCE_DIR}/cmake/GzipDocument.cmake
    DEPENDS docs/${page}.1 cmake/GzipDocument.cmake
    COMMENT "Manual page ${page}(1)"
    VERBATIM)
  install(FILES ${out}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  list(APPEND compressed ${out}.gz)
endforeach()
set(changelog ${CMAKE_BINARY_DIR}/share/doc/quenlow/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/packaging/changelog -DOUT=${changelog}
          -P ${PROJECT_SOURCE_DIR}/cmake/GzipDocument.cmake
  DEPENDS packaging/changelog cmake/GzipDocument.cmake
  VERBATIM)
list(APPEND compressed ${changelog}.gz)
add_custom_target(documents ALL DEPENDS ${compressed})

install(FILES README.md NEWS THIRD-PARTY-NOTICES packaging/copyright ${changelog}.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/bash-completion/quenlow packaging/bash-completion/quenlow-batch
              packaging/bash-completion/quenlow-filter
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

include(cmake/DebianPackage.cmake)
