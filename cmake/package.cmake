# The Debian package that `make deb` builds with CPack: what a parent installs with apt.
#
# Tappy finds its content beside its own file, but Debian keeps packages out of /opt (lintian
# rejects it) and data out of /usr/lib. So the program goes to /usr/lib/tappy, the content to
# /usr/share/games/tappy, and links beside the program lead to the content. The command
# /usr/games/tappy is a link too; the program's folder comes from /proc/self/exe, which names
# the real file behind every link, so it is /usr/lib/tappy however Tappy was started.

set(TAPPY_MAINTAINER "The Tappy team <${TAPPY_CONTACT}>")
set(TAPPY_HOMEPAGE "https://tappy.example/")
set(TAPPY_PROGRAM_DIR usr/lib/tappy)
set(TAPPY_CONTENT_DIR usr/share/games/tappy)
set(TAPPY_COMMAND /usr/games/tappy)
set(package_dir ${CMAKE_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${package_dir}/beside ${package_dir}/command)

# Links are made here and installed as links; within /usr they are relative, as Debian asks.
foreach(name images sounds Tappy.map)
    file(CREATE_LINK ../../share/games/tappy/${name} ${package_dir}/beside/${name} SYMBOLIC)
endforeach()
# The parents' tool sits beside the program too, where it finds the bundled content.
foreach(command tappy tappy-content)
    file(CREATE_LINK ../lib/tappy/${command} ${package_dir}/command/${command} SYMBOLIC)
endforeach()
install(FILES ${package_dir}/beside/images ${package_dir}/beside/sounds
              ${package_dir}/beside/Tappy.map DESTINATION ${TAPPY_PROGRAM_DIR})
install(FILES ${package_dir}/command/tappy ${package_dir}/command/tappy-content
        DESTINATION usr/games)

# The menu entry starts the command by its full path: a desktop session's PATH may lack
# /usr/games.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/tappy.desktop)
file(READ ${CMAKE_SOURCE_DIR}/res/tappy.desktop desktop_entry)
string(REGEX REPLACE "\nExec=[^\n]*" "\nExec=${TAPPY_COMMAND}" desktop_entry "${desktop_entry}")
file(CONFIGURE OUTPUT ${package_dir}/tappy.desktop CONTENT "${desktop_entry}" @ONLY)
install(FILES ${package_dir}/tappy.desktop DESTINATION usr/share/applications)

# Every size the icon tool draws: the crisp 16-colour ones for the small sizes.
foreach(entry 16:icon131 32:icon129 48:tappy-48 64:tappy-64 128:tappy-128 256:tappy)
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 size)
    list(GET parts 1 file)
    install(FILES ${CMAKE_SOURCE_DIR}/res/${file}.png
            DESTINATION usr/share/icons/hicolor/${size}x${size}/apps RENAME tappy.png)
endforeach()

set(TAPPY_APPSTREAM_ID example.tappy.Tappy)
configure_file(${CMAKE_SOURCE_DIR}/res/tappy.metainfo.xml.in
               ${package_dir}/${TAPPY_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${package_dir}/${TAPPY_APPSTREAM_ID}.metainfo.xml DESTINATION usr/share/metainfo)

# Debian's changelog of a package without a separate Debian revision: one entry for the
# release (the project's history is in git). Its date is the release's, so builds repeat.
execute_process(COMMAND date -u -R -d ${TAPPY_RELEASE_DATE}
                OUTPUT_VARIABLE TAPPY_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_SOURCE_DIR}/res/changelog.in ${package_dir}/changelog @ONLY)
foreach(page tappy tappy-content)
    configure_file(${CMAKE_SOURCE_DIR}/res/${page}.6.in ${package_dir}/${page}.6 @ONLY)
endforeach()

# Manual page and changelog compressed as Debian expects: gzip -9, no name or time stamp.
find_program(GZIP gzip REQUIRED)
add_custom_command(
    OUTPUT ${package_dir}/tappy.6.gz ${package_dir}/tappy-content.6.gz ${package_dir}/changelog.gz
    COMMAND ${GZIP} -9nfk ${package_dir}/tappy.6 ${package_dir}/tappy-content.6
            ${package_dir}/changelog
    DEPENDS ${package_dir}/tappy.6 ${package_dir}/tappy-content.6 ${package_dir}/changelog
    COMMENT "Compressing the manual pages and the changelog")
add_custom_target(package_docs ALL DEPENDS ${package_dir}/tappy.6.gz
                  ${package_dir}/tappy-content.6.gz ${package_dir}/changelog.gz)
install(FILES ${package_dir}/tappy.6.gz ${package_dir}/tappy-content.6.gz
        DESTINATION usr/share/man/man6)
install(FILES ${package_dir}/changelog.gz ${CMAKE_SOURCE_DIR}/res/copyright
        DESTINATION usr/share/doc/tappy)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tappy)
set(CPACK_PACKAGE_VERSION ${TAPPY_RELEASE})
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package_strip.cmake)
set(CPACK_TAPPY_STRIP ${CMAKE_STRIP})  # CPack passes on only CPACK_ variables
set(CPACK_PACKAGE_CONTACT "${TAPPY_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# tappy-content speak says a picture's word with espeak-ng; without it, it says what to install.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS espeak-ng)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TAPPY_HOMEPAGE}")
# CPack indents the long description itself and turns its empty line into Debian's " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "keyboard toy for small children
Tappy fills the screen and answers every key press with a big picture, a
sound that belongs to it and a word for it in large letters. Holding a key
makes the picture swell and shrink. While it runs, the keyboard shortcuts
that would leave it are locked, so a toddler can bang away safely; an adult
leaves by clicking the top-left, then the top-right screen corner.

Pictures, sounds and words are plain files. The tappy-content command adds a
parent's own photos, says why a picture does not show, and records a spoken
word for every picture without a sound.")
include(CPack)
