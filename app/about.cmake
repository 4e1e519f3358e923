# The about window, part of velmora_ui, with what the system says about itself.
target_sources(velmora_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Aboutp.cpp ${CMAKE_CURRENT_LIST_DIR}/Aboutp.h)
if(WIN32)
  target_sources(velmora_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Aboutp_windows.cpp)
else()
  target_sources(velmora_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Aboutp_posix.cpp)
endif()
