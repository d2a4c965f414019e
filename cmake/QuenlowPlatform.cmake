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
