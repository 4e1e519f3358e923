# The libraries behind the workbook reader and writer: minizip (zip), pugixml (XML) and
# libxlsxwriter (.xlsx), with zlib under them. Linux takes Debian's packages through
# pkg-config; a cross build for Windows takes the static libraries that
# scripts/mingw-libs.sh builds into a prefix. A missing one stops the configure.
add_library(velmora_workbook_libs INTERFACE)

if(CMAKE_CROSSCOMPILING)
  set(VELMORA_MINGW_LIBS "" CACHE PATH
      "Prefix with static zlib, minizip, pugixml and libxlsxwriter for the target (scripts/mingw-libs.sh prints it)")
  if(NOT VELMORA_MINGW_LIBS)
    message(FATAL_ERROR "Workbooks need minizip, pugixml and libxlsxwriter built for the target: "
                        "run scripts/mingw-libs.sh and pass -DVELMORA_MINGW_LIBS=<the prefix it prints>")
  endif()
  set(libs)
  # Order matters for static linking: a library before the ones it uses.
  foreach(lib xlsxwriter minizip pugixml z)
    find_library(VELMORA_LIB_${lib} NAMES lib${lib}.a PATHS ${VELMORA_MINGW_LIBS}/lib
                 NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT VELMORA_LIB_${lib})
      message(FATAL_ERROR "lib${lib}.a is not in ${VELMORA_MINGW_LIBS}/lib: run scripts/mingw-libs.sh")
    endif()
    list(APPEND libs ${VELMORA_LIB_${lib}})
  endforeach()
  foreach(header minizip/unzip.h pugixml.hpp xlsxwriter.h zlib.h)
    if(NOT EXISTS ${VELMORA_MINGW_LIBS}/include/${header})
      message(FATAL_ERROR "${header} is not in ${VELMORA_MINGW_LIBS}/include: run scripts/mingw-libs.sh")
    endif()
  endforeach()
  target_include_directories(velmora_workbook_libs SYSTEM INTERFACE ${VELMORA_MINGW_LIBS}/include)
  target_link_libraries(velmora_workbook_libs INTERFACE ${libs})
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
  pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
  target_link_libraries(velmora_workbook_libs INTERFACE
    PkgConfig::XLSXWRITER PkgConfig::MINIZIP PkgConfig::PUGIXML)
endif()
