# Installs the build into a scratch root and builds the Debian package from it; fails when a
# program, the desktop entry or the icon is missing, or when the package does not depend on what
# the programs need to run. Arguments: -DBUILD_DIR=<build tree> -DSCRATCH=<empty folder>
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${SCRATCH}/root
                        ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix /usr
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
foreach(file bin/phasemeter bin/phasemeter-cli bin/phasemeter-sim
             share/applications/phasemeter.desktop
             share/icons/hicolor/scalable/apps/phasemeter.svg)
    if(NOT EXISTS "${SCRATCH}/root/usr/${file}")
        message(FATAL_ERROR "cmake --install did not install /usr/${file}")
    endif()
endforeach()

execute_process(COMMAND cpack --config "${BUILD_DIR}/CPackConfig.cmake" -B "${SCRATCH}/package"
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB deb "${SCRATCH}/package/phasemeter_*.deb")
if(NOT deb)
    message(FATAL_ERROR "cpack made no Debian package")
endif()
execute_process(COMMAND dpkg-deb --field ${deb} Depends OUTPUT_VARIABLE depends
                COMMAND_ERROR_IS_FATAL ANY)
foreach(package libqt6serialport6 libqt6widgets6 libqt6printsupport6 libqt6svg6 libxlsxwriter
                qt6-qpa-plugins)
    if(NOT depends MATCHES "${package}")
        message(FATAL_ERROR "The package does not depend on ${package}: ${depends}")
    endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
