# The user manual: typeset at build time from docs/manual/ into the runtime folder, where the
# Manual command opens it (relative to the working directory).
add_subdirectory(${PROJECT_SOURCE_DIR}/tools/manualgen ${CMAKE_BINARY_DIR}/tools/manualgen)

set(METER_MANUAL_SOURCE_DIR ${PROJECT_SOURCE_DIR}/docs/manual)
file(GLOB_RECURSE meter_manual_images CONFIGURE_DEPENDS ${METER_MANUAL_SOURCE_DIR}/images/*.png)

# One PDF per edition: source file and the name it gets in the runtime folder.
set(METER_MANUAL_EDITIONS
    "manual-en.html|Software User Manual.pdf"
    "manual-zh.html|Software User Manual (Chinese).pdf")

# The Chinese edition needs a Chinese font on the build machine (fonts-noto-cjk); without one
# it would be typeset in empty boxes, so it is left out.
find_program(METER_FC_LIST fc-list)
set(meter_have_cjk_font OFF)
if(METER_FC_LIST)
    execute_process(COMMAND ${METER_FC_LIST} :lang=zh-cn family
        OUTPUT_VARIABLE meter_cjk_fonts OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(meter_cjk_fonts)
        set(meter_have_cjk_font ON)
    endif()
endif()

set(METER_MANUAL_FILES)
foreach(edition ${METER_MANUAL_EDITIONS})
    string(REPLACE "|" ";" edition "${edition}")
    list(GET edition 0 source)
    list(GET edition 1 pdf)
    if(NOT EXISTS ${METER_MANUAL_SOURCE_DIR}/${source})
        continue()
    endif()
    if(source MATCHES "-zh\\.html$" AND NOT meter_have_cjk_font)
        message(STATUS "No Chinese font found (package fonts-noto-cjk): \"${pdf}\" is not built")
        continue()
    endif()
    add_custom_command(OUTPUT "${METER_RUNTIME_DIR}/${pdf}"
        COMMAND manualgen ${METER_MANUAL_SOURCE_DIR}/${source} "${METER_RUNTIME_DIR}/${pdf}"
        DEPENDS manualgen ${METER_MANUAL_SOURCE_DIR}/${source} ${meter_manual_images}
        COMMENT "Typesetting ${pdf}"
        VERBATIM)
    list(APPEND METER_MANUAL_FILES "${METER_RUNTIME_DIR}/${pdf}")
endforeach()
add_custom_target(meter_manual ALL DEPENDS ${METER_MANUAL_FILES})

# The screenshot driver: a developer tool that drives the main window on the simulated meter
# as a user would and saves the pictures the manual shows (scripts/take-screenshots.sh).
# It is not part of the application and is built only on request.
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/manualshots/CMakeLists.txt)
    add_subdirectory(${PROJECT_SOURCE_DIR}/tools/manualshots ${CMAKE_BINARY_DIR}/tools/manualshots)
endif()
