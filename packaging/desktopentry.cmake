# Writes and installs the desktop entry; included by the install script, where
# CMAKE_INSTALL_PREFIX is the prefix of this installation. Expects METER_APP_ID,
# METER_INSTALL_APPDIR, METER_DESKTOP_TEMPLATE and METER_DESKTOP_STAGING.

get_filename_component(meter_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(meter_app_dir "${meter_prefix}/${METER_INSTALL_APPDIR}")
set(meter_program "${meter_app_dir}/ht-meter")

if(meter_program MATCHES "[\n\r\t]")
    message(FATAL_ERROR "A desktop entry cannot name a program whose path holds a line break "
        "or a tab: ${meter_program}")
endif()

# A string value of a desktop entry escapes the backslash.
string(REPLACE "\\" "\\\\" meter_path_value "${meter_app_dir}")
string(REPLACE "\\" "\\\\" meter_tryexec_value "${meter_program}")

# Exec is a command line: a path with reserved characters goes in double quotes, inside
# which " ` $ \ are backslash-escaped; then the whole value is escaped as a string, and
# a literal % is doubled because % starts a field code.
set(meter_exec "${meter_program}")
if(meter_exec MATCHES "[ \"'\\\\><~|&;$*?#()`]")
    string(REPLACE "\\" "\\\\" meter_exec "${meter_exec}")
    string(REPLACE "\"" "\\\"" meter_exec "${meter_exec}")
    string(REPLACE "`" "\\`" meter_exec "${meter_exec}")
    string(REPLACE "$" "\\$" meter_exec "${meter_exec}")
    set(meter_exec "\"${meter_exec}\"")
endif()
string(REPLACE "\\" "\\\\" meter_exec "${meter_exec}")
string(REPLACE "%" "%%" meter_exec "${meter_exec}")

set(METER_DESKTOP_EXEC "${meter_exec}")
set(METER_DESKTOP_TRYEXEC "${meter_tryexec_value}")
set(METER_DESKTOP_PATH "${meter_path_value}")
set(meter_entry "${METER_DESKTOP_STAGING}/${METER_APP_ID}.desktop")
configure_file("${METER_DESKTOP_TEMPLATE}" "${meter_entry}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
    FILES "${meter_entry}")
