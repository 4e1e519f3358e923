# The about window, part of velmora_ui.
target_sources(velmora_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Aboutp.cpp ${CMAKE_CURRENT_LIST_DIR}/Aboutp.h)
