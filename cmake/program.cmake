# mdr_add_program(<target> OUTPUT_NAME <name> DESCRIPTION <text> DESTINATION <dir under dist>
#                 [ICON <ico>] SOURCES <files...>)
# A GUI program with its manifest, icon and version resource, linked statically.
function(mdr_add_program target)
    cmake_parse_arguments(P "" "OUTPUT_NAME;DESCRIPTION;DESTINATION;ICON" "SOURCES;RC_INCLUDES" ${ARGN})
    if(NOT P_ICON)
        set(P_ICON "${MDR_ICON_DIR}/app.ico")
    endif()
    set(PROGRAM_NAME "${P_OUTPUT_NAME}")
    set(PROGRAM_DESCRIPTION "${P_DESCRIPTION}")
    set(PROGRAM_ICON "${P_ICON}")
    set(PROGRAM_RC_INCLUDES "")
    foreach(inc ${P_RC_INCLUDES})
        string(APPEND PROGRAM_RC_INCLUDES "#include \"${inc}\"\n")
    endforeach()
    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_program.rc")
    configure_file("${PROJECT_SOURCE_DIR}/res/program.rc.in" "${rc}" @ONLY)
    # windres does not report the manifest it embeds, so name it for rebuilds.
    set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${MDR_MANIFEST}")
    add_executable(${target} WIN32 ${P_SOURCES} ${rc})
    target_link_options(${target} PRIVATE -municode)
    add_dependencies(${target} mdr_icons)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME "${P_OUTPUT_NAME}"
        RUNTIME_OUTPUT_DIRECTORY "${MDR_DIST_DIR}/${P_DESTINATION}")
endfunction()

# mdr_add_wine_test(<target> LABEL unit|wine|e2e SOURCES <files...> [LIBS <libs...>]
#                   [LOCKS <resources...>])
# A console test program run under the test prefix, as one ctest entry with its layer's label:
#   unit  pure logic and files, fast;  wine  the real API under Wine;  e2e  drives a program.
# LOCKS names the prefix state the test shares with others (so ctest -j never runs two users of
# it at once): mdr_settings (Config.ini, the log, the registry entries the end-to-end tests plant
# and the install folder's Backup\), regedit (the registry editor, which one test puts aside, and
# what it imports or exports), screen (windows whose pixels a test reads off the screen).
function(mdr_add_wine_test target)
    cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS;LOCKS" ${ARGN})
    if(NOT T_LABEL MATCHES "^(unit|wine|e2e)$")
        message(FATAL_ERROR "${target}: LABEL must be unit, wine or e2e")
    endif()
    add_executable(${target} ${T_SOURCES})
    target_link_libraries(${target} PRIVATE ${T_LIBS} mdr_gtest)
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests"
        CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-env.sh")
    add_test(NAME ${target} COMMAND ${target})
    set(timeout 600)
    if(T_LABEL STREQUAL "unit")
        set(timeout 60)
    endif()
    set_tests_properties(${target} PROPERTIES
        FIXTURES_REQUIRED wine_prefix
        ENVIRONMENT "MDR_BUILD_DIR=${CMAKE_BINARY_DIR};MDR_DIST_DIR=${MDR_DIST_DIR}"
        LABELS ${T_LABEL}
        TIMEOUT ${timeout})
    if(T_LOCKS)
        set_tests_properties(${target} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
    endif()
endfunction()
