# The table model reads the window through inline accessors only. The sanitizers' dynamic
# type check would still want the window's type information, which lives in the mainwindow
# part; without it the data part and its tests could not link on their own.
if(METER_SANITIZE)
    set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/data/datamodel.cpp
        TARGET_DIRECTORY meter_data PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)
endif()
