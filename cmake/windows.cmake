# The Windows build. `cmake --install` lays out a runnable folder: both programs beside the Qt
# and MinGW runtime libraries they load and the two Qt plugins they need, which
# tools/windows/package.sh zips and wraps in the installer. A build made on Linux runs its tests
# under Wine.

# A Windows program finds its DLLs beside itself: no bin/.
set(CMAKE_INSTALL_BINDIR .)

# The MinGW runtime that every program of this compiler loads.
set(QUORIN_MINGW_RUNTIME "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    file(REAL_PATH "${path}" path)
    list(APPEND QUORIN_MINGW_RUNTIME "${path}")
endforeach()

install(FILES ${QUORIN_MINGW_RUNTIME}
              $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
              $<TARGET_FILE:Qt6::SerialPort>
        DESTINATION ${CMAKE_INSTALL_BINDIR})
# Qt looks for plugins in these folders beside the program, too.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
        DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
        DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)

if(CMAKE_CROSSCOMPILING AND BUILD_TESTING)
    # Every test program runs under Wine in a prefix of this build tree's own, with Qt's and the
    # MinGW runtime's folders on its search path.
    set(dll_folders "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}")
    foreach(dll IN LISTS QUORIN_MINGW_RUNTIME)
        get_filename_component(folder "${dll}" DIRECTORY)
        list(APPEND dll_folders "${folder}")
    endforeach()
    list(REMOVE_DUPLICATES dll_folders)
    list(JOIN dll_folders ":" dll_folders)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/windows/wine-run.sh
                                      ${CMAKE_BINARY_DIR}/wine-prefix ${dll_folders})
endif()
