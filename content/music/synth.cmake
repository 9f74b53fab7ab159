# The synthesizer library, shared by the song generator and the music tests. Included from
# both places, so it is defined only once.
if(NOT TARGET vorn_synth)
  file(GLOB VORN_SYNTH_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/synth/*.cpp)
  add_library(vorn_synth STATIC ${VORN_SYNTH_SOURCES})
  target_include_directories(vorn_synth PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(vorn_synth PUBLIC PkgConfig::VORBIS)
endif()
