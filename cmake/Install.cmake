# Installation (cmake --install) and the Debian package (cpack -G DEB):
# the programs, the desktop entry, the icons in the hicolor theme and the
# AppStream metainfo, in the places a Linux desktop looks for them.
include(GNUInstallDirs)

set(METER_APP_ID org.meterclient.MeterClient)

install(TARGETS meterclient meterctl meter-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/res/linux/${METER_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/res/linux/${METER_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(METER_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/meterclient)
install(FILES ${PROJECT_SOURCE_DIR}/docs/USER-GUIDE.md DESTINATION ${METER_DOC_DIR} OPTIONAL)

# Files Debian wants compressed (the changelog, manual pages) are gzipped at
# build time; -n leaves the name and time stamp out, so the same source
# gives the same package.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(meter_gzipped)
function(meter_gzip source output)
    get_filename_component(dir ${output} DIRECTORY)
    get_filename_component(plain ${output} NAME_WLE)
    add_custom_command(OUTPUT ${output}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
                       COMMAND ${CMAKE_COMMAND} -E copy ${source} ${dir}/${plain}
                       COMMAND ${GZIP_EXECUTABLE} -9nf ${dir}/${plain}
                       DEPENDS ${source}
                       VERBATIM)
    set(meter_gzipped ${meter_gzipped} ${output} PARENT_SCOPE)
endfunction()

# The copyright in Debian's machine-readable form and the Debian changelog,
# whose top entry names the version of project() in CMakeLists.txt.
install(FILES ${PROJECT_SOURCE_DIR}/res/linux/copyright DESTINATION ${METER_DOC_DIR})
meter_gzip(${PROJECT_SOURCE_DIR}/res/linux/changelog ${PROJECT_BINARY_DIR}/doc/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.gz DESTINATION ${METER_DOC_DIR})

# The manual pages, written by hand in docs/man/.
foreach(page meterclient meterctl meter-sim)
    meter_gzip(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
    install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# meterctl's bash completion, where bash-completion loads it on demand: its
# completionsdir, taken relative to its prefix so that the install prefix
# (/usr in the package) applies.
set(METER_BASH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
pkg_get_variable(bash_completion_dir bash-completion completionsdir)
pkg_get_variable(bash_completion_prefix bash-completion prefix)
if(bash_completion_dir AND bash_completion_prefix)
    string(FIND "${bash_completion_dir}" "${bash_completion_prefix}/" at)
    if(at EQUAL 0)
        string(LENGTH "${bash_completion_prefix}/" skip)
        string(SUBSTRING "${bash_completion_dir}" ${skip} -1 METER_BASH_COMPLETION_DIR)
    endif()
endif()
install(FILES ${PROJECT_SOURCE_DIR}/res/linux/meterctl.bash DESTINATION ${METER_BASH_COMPLETION_DIR}
        RENAME meterctl)

# Icons: resource 128 (the program's icon) as it is, plus PNGs rendered at
# build time by a small Qt program (Qt's SVG module is needed anyway).
set(METER_ICON_SVG ${PROJECT_SOURCE_DIR}/res/icons/128.svg)
set(METER_ICON_SIZES 16 22 24 32 48 64 128 256)
install(FILES ${METER_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${METER_APP_ID}.svg)

qt_add_executable(meter-render-icon ${PROJECT_SOURCE_DIR}/res/linux/render-icon.cpp)
target_link_libraries(meter-render-icon PRIVATE Qt6::Gui Qt6::Svg)
meter_target_setup(meter-render-icon)
set(icon_outputs)
set(icon_args)
foreach(size ${METER_ICON_SIZES})
    set(png ${PROJECT_BINARY_DIR}/icons/${size}x${size}/${METER_APP_ID}.png)
    list(APPEND icon_outputs ${png})
    list(APPEND icon_args ${png} ${size})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
set(icon_dirs)
foreach(size ${METER_ICON_SIZES})
    list(APPEND icon_dirs ${PROJECT_BINARY_DIR}/icons/${size}x${size})
endforeach()
# A sanitizer build runs the helper with the sanitizers; Qt's own
# start-up allocations are no leak of ours.
add_custom_command(OUTPUT ${icon_outputs}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dirs}
                   COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                           $<TARGET_FILE:meter-render-icon> ${METER_ICON_SVG} ${icon_args}
                   DEPENDS meter-render-icon ${METER_ICON_SVG}
                   COMMENT "Rendering the program icon as PNG"
                   VERBATIM)
add_custom_target(meter_icons ALL DEPENDS ${icon_outputs})
add_custom_target(meter_gzipped ALL DEPENDS ${meter_gzipped})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME meterclient)
set(CPACK_PACKAGE_VENDOR "MeterClient")
set(CPACK_PACKAGE_CONTACT "MeterClient maintainers <maintainers@meterclient.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program for a handheld fibre-optic test meter")
# CPack puts the summary first and indents the lines of the description.
set(CPACK_PACKAGE_DESCRIPTION
    "MeterClient connects to a handheld fibre-optic test meter over a serial\n\
line, downloads its stored optical power, return loss and insertion loss\n\
records into an editable table and saves them as an Excel .xls report.\n\
It calibrates the meter and sets its clock, in a Chinese or English\n\
interface. meterctl does the same from the command line; meter-sim\n\
simulates a meter.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: dpkg-shlibdeps finds the packages of the shared libraries the
# programs link, with versions; by hand what they load or show without
# linking it: Qt's platform plugins (xcb, offscreen) and a font with Chinese
# glyphs. Recommends: the Wayland platform plugin and Qt's own Chinese
# translations (the standard buttons and dialogs of the Chinese interface).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-calc")
set(CPACK_STRIP_FILES ON)
include(CPack)
