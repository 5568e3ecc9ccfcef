# Runs the acceptance phases of ht-meter, each a fresh start of the program in one runtime
# folder of the test's own, so that a later phase finds what an earlier one left (options.xml,
# the exported files).
#
#   cmake -DRUNTIME_DIR=<build>/bin -DDRIVER=<libe2e_driver.so> -DWORK_DIR=<folder>
#         [-DPRELOAD_FIRST=<sanitizer runtime>] [-DPHASES=road;restored;chinese]
#         [-DPLATFORM=xcb|offscreen] [-DKEEP=ON] -P run_acceptance.cmake
#
# The program runs on an X server of its own (Xvfb, through xvfb-run) where one can be
# started, as on a desktop whose screen holds the whole window; otherwise on the offscreen
# platform, whose small screen moves a restored window, so that only sizes are compared there.
#
# Each phase must end with exit code 0 and the line "PHASE <name> PASSED". The folder is kept
# after a failure (with a picture of the window, e2e-failure-<phase>.png) and removed after
# success (unless KEEP is on).

foreach(required RUNTIME_DIR DRIVER WORK_DIR)
    if(NOT ${required})
        message(FATAL_ERROR "run_acceptance.cmake needs -D${required}=...")
    endif()
endforeach()
if(NOT PHASES)
    set(PHASES road restored chinese)
endif()
if(NOT PHASE_TIMEOUT)
    set(PHASE_TIMEOUT 70)
endif()

# A fresh runtime folder: the program, the simulated meter and the translations, copied now
# from the build.
foreach(file ht-meter Lib/libsimulator.so zh-CN.qm translations/qt_zh_CN.qm)
    if(NOT EXISTS ${RUNTIME_DIR}/${file})
        message(FATAL_ERROR "${RUNTIME_DIR}/${file} is missing: "
            "build ht-meter, simulator and the translations")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/Lib)
file(COPY ${RUNTIME_DIR}/ht-meter ${RUNTIME_DIR}/zh-CN.qm ${RUNTIME_DIR}/translations
    DESTINATION ${WORK_DIR})
file(COPY ${RUNTIME_DIR}/Lib/libsimulator.so DESTINATION ${WORK_DIR}/Lib)

if(NOT PLATFORM)
    find_program(XVFB_RUN xvfb-run)
    find_program(XVFB Xvfb)
    if(XVFB_RUN AND XVFB)
        set(PLATFORM xcb)
    else()
        set(PLATFORM offscreen)
    endif()
endif()
set(launcher)
if(PLATFORM STREQUAL "xcb")
    find_program(XVFB_RUN xvfb-run REQUIRED)
    set(launcher ${XVFB_RUN} -a -s "-screen 0 1280x1024x24")
endif()
message(STATUS "platform ${PLATFORM}")

set(preload ${DRIVER})
if(PRELOAD_FIRST)
    set(preload "${PRELOAD_FIRST}:${DRIVER}")
endif()

foreach(phase ${PHASES})
    message(STATUS "phase ${phase}")
    execute_process(
        COMMAND ${launcher} ${CMAKE_COMMAND} -E env --unset=QT_QPA_PLATFORMTHEME
            QT_QPA_PLATFORM=${PLATFORM}
            LD_PRELOAD=${preload}
            METER_E2E_PHASE=${phase}
            QT_LOGGING_RULES=qt.qpa.xcb=false
            METER_SIM_PORT=virtual
            METER_SIM_INTERVAL_MS=50
            METER_SIM_STORE_COUNT=250
            ${WORK_DIR}/ht-meter
        WORKING_DIRECTORY ${WORK_DIR}
        TIMEOUT ${PHASE_TIMEOUT}
        RESULT_VARIABLE result
        OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    # The STEP lines of the driver among the program's own output.
    message("${output}")
    if(NOT output MATCHES "PHASE ${phase} BEGIN")
        message(FATAL_ERROR "phase ${phase}: the driver never ran (exit ${result}); is another "
            "ht-meter running on this machine (single instance)?")
    endif()
    if(NOT result EQUAL 0 OR NOT output MATCHES "PHASE ${phase} PASSED")
        message(FATAL_ERROR "phase ${phase} failed (exit ${result}); "
            "runtime folder kept: ${WORK_DIR}")
    endif()
endforeach()

if(NOT KEEP)
    file(REMOVE_RECURSE ${WORK_DIR})
endif()
message(STATUS "all phases passed")
