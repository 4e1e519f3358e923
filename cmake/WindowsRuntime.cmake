# What velmora.exe needs beside it on Windows, installed with it (included where Qt's
# targets are seen): the Qt DLLs, the platform and style plug-ins, MinGW's run-time DLLs that
# Qt's DLLs import, and the licence texts of all of them. velmora.exe and velmora-cli.exe
# link the C++ run-time statically; Qt's DLLs do not.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/licenses/README.txt DESTINATION licenses)
foreach(module Core Gui Widgets)
  install(IMPORTED_RUNTIME_ARTIFACTS Qt6::${module} DESTINATION .)
endforeach()
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsIntegrationPlugin DESTINATION platforms)
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsVistaStylePlugin DESTINATION styles)

if(MINGW)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "The compiler does not know where ${dll} is: the Windows folder would lack it")
    endif()
    install(FILES ${path} DESTINATION .)
    # Debian ships them with their symbols; a stripped package takes them without.
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
                    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                                    \"\${CMAKE_INSTALL_PREFIX}/${dll}\")
                  endif()")
  endforeach()
endif()

if(NOT CMAKE_HOST_UNIX)
  message(WARNING "Built on Windows: add Qt's licence texts to the folder by hand")
  return()
endif()
# Licence texts as Debian ships them with the very packages the DLLs were built from: Qt's
# (the whole qtbase source, its bundled FreeType, HarfBuzz, libpng, zlib, PCRE2 included),
# GCC's run-time library and MinGW-w64's (winpthreads).
set(VELMORA_LICENSE_FILES
    /usr/share/doc/libqt6core6/copyright Qt6-copyright.txt
    /usr/share/common-licenses/LGPL-3 LGPL-3.txt
    /usr/share/common-licenses/GPL-3 GPL-3.txt
    /usr/share/common-licenses/GPL-2 GPL-2.txt
    /usr/share/doc/gcc-mingw-w64-base/copyright GCC-runtime-copyright.txt
    /usr/share/doc/mingw-w64-x86-64-dev/copyright MinGW-w64-copyright.txt)
while(VELMORA_LICENSE_FILES)
  list(POP_FRONT VELMORA_LICENSE_FILES from to)
  if(NOT EXISTS ${from})
    message(FATAL_ERROR "${from} is missing: the Windows folder would ship without its licence")
  endif()
  install(FILES ${from} DESTINATION licenses RENAME ${to})
endwhile()
