# The spreadsheet exchange writes .xlsx with libxlsxwriter and reads .xlsx with minizip (the
# zip library libxlsxwriter itself uses); .xls is written and read by our own compound-file
# and BIFF8 code.
#
# No other zip wrapper may join these in one process: QuaZip, for one, exports its own
# copy of the minizip functions under the same names, and the writer's calls then land in
# it and crash.
find_package(PkgConfig REQUIRED)
pkg_check_modules(METER_XLSXWRITER REQUIRED IMPORTED_TARGET GLOBAL xlsxwriter)
pkg_check_modules(METER_MINIZIP REQUIRED IMPORTED_TARGET GLOBAL minizip)

target_link_libraries(meter_export PRIVATE
    PkgConfig::METER_XLSXWRITER PkgConfig::METER_MINIZIP)
