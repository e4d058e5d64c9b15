# The Windows build. `cmake --install` lays out a runnable folder: the programs beside the Qt
# and MinGW runtime libraries they load and the two Qt plugins they need (Quorinlab's own, its
# graph's QCustomPlot and the Qt PrintSupport it links, come from lab/), which
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

# The licence texts, in a folder of their own beside the programs: the project's, and those of
# what the folder ships beside it, taken from the Debian packages the build uses (Qt for
# Windows is built from Debian's qtbase source package, of the version of the machine's own Qt).
set(QUORIN_LICENCES ${CMAKE_BINARY_DIR}/licenze)
file(MAKE_DIRECTORY ${QUORIN_LICENCES})
# The copyright file of the Debian package that holds FILE.
function(quorin_debian_copyright file out)
    execute_process(COMMAND dpkg-query --search "${file}" OUTPUT_VARIABLE owner
                    RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REGEX REPLACE ":.*" "" package "${owner}") # "package[:arch]: path"
    set(copyright /usr/share/doc/${package}/copyright)
    if(NOT status EQUAL 0 OR NOT EXISTS ${copyright})
        message(FATAL_ERROR "no Debian copyright file for ${file}")
    endif()
    set(${out} ${copyright} PARENT_SCOPE)
endfunction()
# The part of TEXT from where START is found up to, not including, the first END after it, or
# to the end of TEXT.
function(quorin_cut text start end out)
    string(FIND "${text}" "${start}" begin)
    if(begin EQUAL -1)
        message(FATAL_ERROR "the licence text has no \"${start}\"")
    endif()
    string(LENGTH "${start}" skip)
    math(EXPR after "${begin} + ${skip}")
    string(SUBSTRING "${text}" ${after} -1 rest)
    string(FIND "${rest}" "${end}" length)
    if(length EQUAL -1) # to the end of TEXT
        string(SUBSTRING "${text}" ${begin} -1 part)
    else()
        math(EXPR length "${skip} + ${length}")
        string(SUBSTRING "${text}" ${begin} ${length} part)
    endif()
    string(STRIP "${part}" part)
    set(${out} "${part}\n" PARENT_SCOPE)
endfunction()

list(GET QUORIN_MINGW_RUNTIME 0 gcc_runtime) # libstdc++-6.dll
list(GET QUORIN_MINGW_RUNTIME 2 winpthreads) # libwinpthread-1.dll
quorin_debian_copyright(${gcc_runtime} gcc_copyright)
quorin_debian_copyright(${winpthreads} mingw_copyright)
file(READ ${gcc_copyright} text)
quorin_cut("${text}" "\nGCC RUNTIME LIBRARY EXCEPTION\n" "\nlibquadmath/" exception)
file(WRITE ${QUORIN_LICENCES}/GCC-runtime-library-exception-3.1.txt "${exception}")
file(READ ${mingw_copyright} text)
quorin_cut("${text}" "\nFiles: mingw-w64-libraries/winpthreads/*\n"
           "\nFiles: mingw-w64-libraries/winstorecompat/" winpthreads_text)
# The texts of the licences those paragraphs name, each a paragraph of its own.
foreach(licence expat BSD-3-clause public-domain)
    quorin_cut("${text}" "\n\nLicense: ${licence}\n " "\n\n" paragraph)
    string(APPEND winpthreads_text "\n${paragraph}")
endforeach()
file(WRITE ${QUORIN_LICENCES}/MinGW-w64-winpthreads.txt "${winpthreads_text}")
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${QUORIN_LICENCES}/GPL-3.0.txt COPYONLY)
configure_file(/usr/share/common-licenses/LGPL-3 ${QUORIN_LICENCES}/LGPL-3.0.txt COPYONLY)
# Qt's own copyright files list every part of qtbase and Qt SerialPort, those of other authors
# inside them (zlib, PCRE2, HarfBuzz, libpng...) with their licences.
configure_file(/usr/share/doc/libqt6core6/copyright ${QUORIN_LICENCES}/Qt-qtbase-copyright.txt
               COPYONLY)
configure_file(/usr/share/doc/libqt6serialport6/copyright
               ${QUORIN_LICENCES}/Qt-qtserialport-copyright.txt COPYONLY)
# QCustomPlot, which draws Quorinlab's graph, built from Debian's source package of the version
# of the machine's own.
quorin_debian_copyright(/usr/include/qcustomplot.h qcustomplot_copyright)
configure_file(${qcustomplot_copyright} ${QUORIN_LICENCES}/QCustomPlot-copyright.txt COPYONLY)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/LEGGIMI.txt
              ${QUORIN_LICENCES}/GPL-3.0.txt ${QUORIN_LICENCES}/LGPL-3.0.txt
              ${QUORIN_LICENCES}/GCC-runtime-library-exception-3.1.txt
              ${QUORIN_LICENCES}/MinGW-w64-winpthreads.txt
              ${QUORIN_LICENCES}/Qt-qtbase-copyright.txt
              ${QUORIN_LICENCES}/Qt-qtserialport-copyright.txt
              ${QUORIN_LICENCES}/QCustomPlot-copyright.txt
        DESTINATION ${CMAKE_INSTALL_BINDIR}/licenze)

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
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/windows/wine-run.sh
                                      ${CMAKE_BINARY_DIR}/wine-prefix ${dll_folders})
endif()

# The installer's script, with the facts it shares with the programs (cmake/facts.cmake), for
# tools/windows/make-installer.sh.
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/quorin.nsi.in
               ${PROJECT_BINARY_DIR}/packaging/windows/quorin.nsi @ONLY)
