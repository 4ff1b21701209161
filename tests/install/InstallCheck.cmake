# Installs the build tree into PREFIX and checks the installed files, run as
# `cmake -P` by CTest. Everything else the install puts there is an error too:
# a stray test program or library in a user's prefix is a fault.

function(fail message)
    message(FATAL_ERROR "${message}")
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    fail("cmake --install failed (${result}):\n${output}\n${errors}")
endif()

set(expected "${BINDIR}/varnello-tag")
if(WITH_WINDOW)
    list(APPEND expected
        "${BINDIR}/varnello"
        "${DATADIR}/varnello/varnello.1.2.html"
        "${DATADIR}/applications/varnello.desktop"
        "${DATADIR}/icons/hicolor/scalable/apps/varnello.svg")
endif()
list(SORT expected)

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
if(NOT installed STREQUAL expected)
    string(REPLACE ";" "\n  " got "${installed}")
    string(REPLACE ";" "\n  " want "${expected}")
    fail("installed files differ\nexpected:\n  ${want}\ninstalled:\n  ${got}")
endif()

if(WITH_WINDOW)
    file(SHA256 "${HELP_PAGE}" source_hash)
    file(SHA256 "${PREFIX}/${DATADIR}/varnello/varnello.1.2.html" installed_hash)
    if(NOT source_hash STREQUAL installed_hash)
        fail("the installed help page differs from docs/varnello.1.2.html")
    endif()
    file(STRINGS "${PREFIX}/${DATADIR}/applications/varnello.desktop" exec_line REGEX "^Exec=")
    if(NOT exec_line STREQUAL "Exec=varnello")
        fail("the desktop entry starts '${exec_line}', not the installed varnello")
    endif()
endif()

# The installed tool runs on its own, away from the build tree.
execute_process(COMMAND "${PREFIX}/${BINDIR}/varnello-tag" --help
    WORKING_DIRECTORY "${PREFIX}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT output MATCHES "Usage: varnello-tag")
    fail("installed varnello-tag --help gave ${result}:\n${output}\n${errors}")
endif()
file(MAKE_DIRECTORY "${PREFIX}/empty")
execute_process(COMMAND "${PREFIX}/${BINDIR}/varnello-tag" list "${PREFIX}/empty"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    fail("installed varnello-tag list of an empty folder gave ${result}:\n${output}\n${errors}")
endif()

file(REMOVE_RECURSE "${PREFIX}")
