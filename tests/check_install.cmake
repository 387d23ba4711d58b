cmake_minimum_required(VERSION 3.21)
# Installs the build into a temporary prefix and checks what lands where: both programs, the help file and the
# accessories, the desktop entry, the icon in every size (each picture of the size its folder names) and the
# AppStream metadata, the last two as the desktop's own validators judge them.
# cmake -DBUILD=<build dir> -DPREFIX=<empty folder> -P check_install.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}" RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed:\n${out}${err}")
endif()

set(id org.lexorium.Lexorium)
set(problems "")
set(expected bin/lexorium bin/lexorium-cli share/lexorium/Help/Lexorium.chm share/lexorium/Accessories/findfile.gif
    share/applications/${id}.desktop share/metainfo/${id}.metainfo.xml share/icons/hicolor/scalable/apps/${id}.svg)
set(sizes 16 22 24 32 48 64 128 256)
foreach(size IN LISTS sizes)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/${id}.png)
endforeach()
foreach(f IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${f}")
        list(APPEND problems "missing ${f}")
    endif()
endforeach()
foreach(program lexorium lexorium-cli)
    if(EXISTS "${PREFIX}/bin/${program}" AND IS_DIRECTORY "${PREFIX}/bin/${program}")
        list(APPEND problems "bin/${program} is a folder")
    endif()
endforeach()

# A PNG tells its width and height in the header's first chunk.
foreach(size IN LISTS sizes)
    set(png "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/${id}.png")
    if(EXISTS "${png}")
        file(READ "${png}" header OFFSET 16 LIMIT 8 HEX)
        string(SUBSTRING "${header}" 0 8 w)
        string(SUBSTRING "${header}" 8 8 h)
        math(EXPR w "0x${w}")
        math(EXPR h "0x${h}")
        if(NOT w EQUAL size OR NOT h EQUAL size)
            list(APPEND problems "the ${size}x${size} icon is ${w}x${h}")
        endif()
    endif()
endforeach()

# The entry starts a program that was installed, with the icon that was installed.
file(STRINGS "${PREFIX}/share/applications/${id}.desktop" exec REGEX "^Exec=")
file(STRINGS "${PREFIX}/share/applications/${id}.desktop" icon REGEX "^Icon=")
string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec "${exec}")
if(NOT EXISTS "${PREFIX}/bin/${exec}")
    list(APPEND problems "the desktop entry starts ${exec}, which is not in bin")
endif()
if(NOT icon STREQUAL "Icon=${id}")
    list(APPEND problems "the desktop entry names the icon '${icon}'")
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${PREFIX}/share/applications/${id}.desktop" RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
    list(APPEND problems "desktop-file-validate: ${out}${err}")
endif()
find_program(APPSTREAMCLI appstreamcli REQUIRED)
execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net "${PREFIX}/share/metainfo/${id}.metainfo.xml"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    list(APPEND problems "appstreamcli validate: ${out}${err}")
endif()

# The installed programs run from there. With bin/ read-only, as in a system's /usr/bin, what they write goes to the
# user's application-data folder, and the screens' program starts (it waits on its first screen until ended).
file(CHMOD "${PREFIX}/bin" DIRECTORY_PERMISSIONS OWNER_READ OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
     WORLD_EXECUTE)
set(home "${PREFIX}/home")
file(MAKE_DIRECTORY "${home}")
set(env "${CMAKE_COMMAND}" -E env --unset=XDG_DATA_HOME HOME=${home} QT_QPA_PLATFORM=offscreen)
execute_process(COMMAND ${env} "${PREFIX}/bin/lexorium-cli" list RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "There is no settings file ${home}/.local/share/Lexorium/vor_Lexorium.ini")
    list(APPEND problems "the installed lexorium-cli list said (${rc}): ${out}${err}")
endif()
find_program(TIMEOUT timeout REQUIRED)
execute_process(COMMAND ${env} "${TIMEOUT}" 5 "${PREFIX}/bin/lexorium" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 124)
    list(APPEND problems "the installed lexorium ended by itself (${rc}): ${out}${err}")
endif()
file(CHMOD "${PREFIX}/bin" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

file(REMOVE_RECURSE "${PREFIX}")
if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "Installation incomplete:\n  ${text}")
endif()
message(STATUS "installation holds: ${PREFIX}")
