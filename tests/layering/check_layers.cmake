# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a folder of src/ (or the virtual microscope) includes a header of a layer
# above it. The layers, bottom up:
#   base < link < inbound < view < measure < commands < app, with cli beside app.
# The measuring window (measure_window) is part of the app layer: the two may include
# each other. A folder may include its own headers and those of the layers below it; app
# and cli never include each other; the virtual microscope is built on the core only.
#
#   cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
# The suite runs it on the project, and on a small tree with a wrong arrow that it must
# refuse.

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<tree> -P check_layers.cmake")
endif()

set(core base link inbound view measure commands)
set(allowed_base base)
set(allowed_link base link)
set(allowed_inbound base link inbound)
set(allowed_view base link inbound view)
set(allowed_measure base link inbound view measure)
set(allowed_commands ${core})
set(allowed_app ${core} app measure_window)
set(allowed_measure_window ${core} app measure_window)
set(allowed_cli ${core} cli)
set(allowed_virtual-microscope ${core} virtual-microscope)
set(project_folders ${core} app measure_window cli virtual-microscope)

set(folders)
foreach(layer ${core} app measure_window cli)
    list(APPEND folders "src/${layer}|${layer}")
endforeach()
list(APPEND folders "tools/virtual-microscope|virtual-microscope")

set(violations 0)
foreach(entry ${folders})
    string(REPLACE "|" ";" pair "${entry}")
    list(GET pair 0 folder)
    list(GET pair 1 layer)
    file(GLOB files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(file ${files})
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"/]+/")
        foreach(line ${includes})
            string(REGEX REPLACE "^[^\"]*\"([^\"/]+)/.*$" "\\1" included "${line}")
            list(FIND project_folders ${included} known)
            list(FIND allowed_${layer} ${included} fine)
            if(known GREATER -1 AND fine EQUAL -1)
                file(RELATIVE_PATH shown ${SOURCE_DIR} ${file})
                message(SEND_ERROR "${shown}: ${layer} includes ${included}: ${line}")
                math(EXPR violations "${violations} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations GREATER 0)
    message(FATAL_ERROR "${violations} include(s) point up the layers")
endif()
message(STATUS "layers point one way")
