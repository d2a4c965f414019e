# What differs between systems lives in files named *_posix.cpp and
# *_windows.cpp beside the code that uses them; a build keeps only its own
# system's. No other file asks which system it is built for.
if(WIN32)
  set(QUENLOW_OTHER_PLATFORM posix)
else()
  set(QUENLOW_OTHER_PLATFORM windows)
endif()

# The .cpp files of a folder that belong to this system.
#   quenlow_sources(SOURCES ${CMAKE_CURRENT_SOURCE_DIR})
function(quenlow_sources out dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_${QUENLOW_OTHER_PLATFORM}\\.cpp$")
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# The resource script of a Windows program, filled in with the project's
# version, and the manifest it embeds.
#   quenlow_windows_resources(OUT_RC template.rc.in program-name)
function(quenlow_windows_resources out template name)
  set(major ${PROJECT_VERSION_MAJOR})
  foreach(part MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
      set(${part} 0)
    else()
      set(${part} ${PROJECT_VERSION_${part}})
    endif()
  endforeach()
  set(QUENLOW_VERSION_COMMAS "${major},${MINOR},${PATCH},${TWEAK}")
  set(QUENLOW_VERSION_DOTS "${major}.${MINOR}.${PATCH}.${TWEAK}")
  set(QUENLOW_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/src/app/quenlow.manifest.in ${QUENLOW_MANIFEST} @ONLY)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
  configure_file(${template} ${rc} @ONLY)
  set_property(SOURCE ${rc} APPEND PROPERTY INCLUDE_DIRECTORIES ${PROJECT_SOURCE_DIR})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${QUENLOW_MANIFEST} ${PROJECT_SOURCE_DIR}/data/quenlow.ico)
  set(${out} ${rc} PARENT_SCOPE)
endfunction()
