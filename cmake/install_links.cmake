# Runs at install time. A folder in the user's home gets links in the user's own places;
# anything else (the default /opt/tappy) gets system-wide ones.
set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(home "$ENV{HOME}")
set(source_dir "${CMAKE_CURRENT_LIST_DIR}/..")
if(home AND CMAKE_INSTALL_PREFIX MATCHES "^${home}/")
    set(bin_dir "${home}/.local/bin")
    set(share_dir "${home}/.local/share")
else()
    set(bin_dir "$ENV{DESTDIR}/usr/local/bin")
    set(share_dir "$ENV{DESTDIR}/usr/local/share")
endif()

file(MAKE_DIRECTORY "${bin_dir}" "${share_dir}/applications" "${share_dir}/icons/hicolor/256x256/apps")
foreach(command tappy tappy-content)
    message(STATUS "Linking: ${bin_dir}/${command} -> ${CMAKE_INSTALL_PREFIX}/${command}")
    file(CREATE_LINK "${CMAKE_INSTALL_PREFIX}/${command}" "${bin_dir}/${command}" SYMBOLIC)
endforeach()

if(EXISTS "${source_dir}/res/tappy.desktop")
    file(READ "${source_dir}/res/tappy.desktop" entry)
    # The menu entry starts the installed program by its full path, so it works even where
    # the link's folder is not on the PATH of the desktop session.
    string(REGEX REPLACE "\nExec=[^\n]*" "\nExec=${CMAKE_INSTALL_PREFIX}/tappy" entry "${entry}")
    message(STATUS "Installing: ${share_dir}/applications/tappy.desktop")
    file(WRITE "${share_dir}/applications/tappy.desktop" "${entry}")
endif()
if(EXISTS "${source_dir}/res/tappy.png")
    message(STATUS "Installing: ${share_dir}/icons/hicolor/256x256/apps/tappy.png")
    file(COPY "${source_dir}/res/tappy.png" DESTINATION "${share_dir}/icons/hicolor/256x256/apps")
endif()
