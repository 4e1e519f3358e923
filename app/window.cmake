# The window: every part of it in velmora_ui (the GUI tests link it), main.cpp apart.
set(VELMORA_UI_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(velmora_ui STATIC
  ${VELMORA_UI_DIR}/application.cpp
  ${VELMORA_UI_DIR}/celldelegate.cpp
  ${VELMORA_UI_DIR}/mainwindow.cpp
  ${VELMORA_UI_DIR}/mainwindow_actions.cpp
  ${VELMORA_UI_DIR}/mainwindow_device.cpp
  ${VELMORA_UI_DIR}/mainwindow_drop.cpp
  ${VELMORA_UI_DIR}/mainwindow_grid.cpp
  ${VELMORA_UI_DIR}/memorygauge.cpp
  ${VELMORA_UI_DIR}/qtadapters.cpp
  ${VELMORA_UI_DIR}/routemodel.cpp
  ${VELMORA_UI_DIR}/simpanel.cpp
  ${VELMORA_UI_DIR}/statusbars.cpp
  ${VELMORA_UI_DIR}/devicewatcher.h
  ${VELMORA_UI_DIR}/icons.qrc
)
# The hot-plug source and the settings and firmware places of this platform.
if(WIN32)
  target_sources(velmora_ui PRIVATE ${VELMORA_UI_DIR}/devicewatcher_win.cpp
    ${VELMORA_UI_DIR}/qtadapters_windows.cpp)
  target_link_libraries(velmora_ui PRIVATE user32)
else()
  target_sources(velmora_ui PRIVATE ${VELMORA_UI_DIR}/devicewatcher_unix.cpp
    ${VELMORA_UI_DIR}/qtadapters_posix.cpp)
endif()
set_target_properties(velmora_ui PROPERTIES AUTOMOC ON AUTORCC ON)
target_include_directories(velmora_ui PUBLIC ${VELMORA_UI_DIR})
target_link_libraries(velmora_ui PUBLIC velmora_device velmora_sheets velmora_sub Qt6::Widgets)

include(${VELMORA_UI_DIR}/about.cmake)

add_executable(velmora WIN32 ${VELMORA_UI_DIR}/main.cpp)
if(WIN32)
  target_sources(velmora PRIVATE ${VELMORA_UI_DIR}/velmora.rc)
  include(${PROJECT_SOURCE_DIR}/cmake/WindowsRuntime.cmake)
endif()
target_link_libraries(velmora PRIVATE velmora_ui)
install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The GUI tests (tests/app) link Qt Test from their own folder.
if(TARGET Qt6::Test)
  set_target_properties(Qt6::Test PROPERTIES IMPORTED_GLOBAL TRUE)
endif()
