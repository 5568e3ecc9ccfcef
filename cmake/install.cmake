# Installation as a desktop application:
#
#   <prefix>/opt/ht-meter/                 the application folder (the program writes
#                                          options.xml here, so it must be the user's)
#       ht-meter, Lib/libsimulator.so, zh-CN.qm, translations/qt_zh_CN.qm,
#       Software User Manual.pdf, ht-meter.png
#   <prefix>/share/applications/<id>.desktop
#   <prefix>/share/metainfo/<id>.metainfo.xml
#   <prefix>/share/icons/hicolor/<n>x<n>/apps/<id>.png, .../scalable/apps/<id>.svg
#
# The prefix defaults to ~/.local, a place the user can write without privileges.

set(METER_APP_ID org.htmeter.HtMeter)
set(METER_INSTALL_APPDIR opt/ht-meter)
set(METER_ICON_SIZES 16 32 48 64 128 256)

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    if(DEFINED ENV{HOME} AND NOT "$ENV{HOME}" STREQUAL "")
        set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Installation prefix" FORCE)
    endif()
endif()

# The libraries are the system's Qt: nothing to point at once installed.
set_target_properties(ht-meter simulator PROPERTIES INSTALL_RPATH "")

install(TARGETS ht-meter RUNTIME DESTINATION ${METER_INSTALL_APPDIR})
install(TARGETS simulator LIBRARY DESTINATION ${METER_INSTALL_APPDIR}/Lib)
install(FILES ${METER_RUNTIME_DIR}/zh-CN.qm DESTINATION ${METER_INSTALL_APPDIR} OPTIONAL)
# The toolkit's own translation, with whatever catalogues the build put beside it.
if(TARGET meter_qt_translations)
    install(DIRECTORY ${METER_RUNTIME_DIR}/translations/
        DESTINATION ${METER_INSTALL_APPDIR}/translations FILES_MATCHING PATTERN "*.qm")
endif()
if(METER_MANUAL_FILES)
    install(FILES ${METER_MANUAL_FILES} DESTINATION ${METER_INSTALL_APPDIR})
endif()

# Icons, rendered from the vector artwork for every size of the icon theme.
set(METER_ICON_SOURCE ${PROJECT_SOURCE_DIR}/resources/image/app.svg)
set(METER_ICON_DIR ${CMAKE_BINARY_DIR}/packaging/icons)
if(EXISTS ${METER_ICON_SOURCE})
    find_package(Qt5 5.15 COMPONENTS Svg REQUIRED)
    add_subdirectory(${PROJECT_SOURCE_DIR}/tools/iconrender ${CMAKE_BINARY_DIR}/tools/iconrender)
    set(meter_icon_files)
    foreach(size ${METER_ICON_SIZES})
        list(APPEND meter_icon_files ${METER_ICON_DIR}/${size}x${size}/${METER_APP_ID}.png)
    endforeach()
    add_custom_command(OUTPUT ${meter_icon_files}
        COMMAND iconrender ${METER_ICON_SOURCE} ${METER_ICON_DIR} ${METER_APP_ID}
            ${METER_ICON_SIZES}
        DEPENDS iconrender ${METER_ICON_SOURCE}
        COMMENT "Rendering the application icons"
        VERBATIM)
    add_custom_target(meter_icons ALL DEPENDS ${meter_icon_files})

    foreach(size ${METER_ICON_SIZES})
        install(FILES ${METER_ICON_DIR}/${size}x${size}/${METER_APP_ID}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps)
    endforeach()
    install(FILES ${METER_ICON_SOURCE} DESTINATION share/icons/hicolor/scalable/apps
        RENAME ${METER_APP_ID}.svg)
    install(FILES ${METER_ICON_DIR}/256x256/${METER_APP_ID}.png
        DESTINATION ${METER_INSTALL_APPDIR} RENAME ht-meter.png)
else()
    message(WARNING "resources/image/app.svg is missing: the desktop icons are not installed")
endif()

# AppStream metadata: nothing in it depends on where the application is installed.
configure_file(${PROJECT_SOURCE_DIR}/packaging/metainfo.xml.in
    ${CMAKE_BINARY_DIR}/packaging/${METER_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${METER_APP_ID}.metainfo.xml
    DESTINATION share/metainfo)

# The desktop entry names the installed program and folder by absolute path, and the prefix
# is only known when installing (cmake --install --prefix), so it is written then.
install(CODE "
set(METER_APP_ID \"${METER_APP_ID}\")
set(METER_INSTALL_APPDIR \"${METER_INSTALL_APPDIR}\")
set(METER_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/packaging/desktop.in\")
set(METER_DESKTOP_STAGING \"${CMAKE_BINARY_DIR}/packaging/desktop\")
include(\"${PROJECT_SOURCE_DIR}/packaging/desktopentry.cmake\")
")

# cmake --build <build> --target uninstall: removes what the last installation listed in
# install_manifest.txt. options.xml, written by the application, is the user's and stays.
add_custom_target(uninstall
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt
        -P ${PROJECT_SOURCE_DIR}/packaging/uninstall.cmake
    COMMENT "Removing the installed files"
    VERBATIM)
