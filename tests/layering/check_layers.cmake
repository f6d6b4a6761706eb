# Checks the include rules of the source tree:
#   - a layer includes only its own headers and those of the layers below it;
#   - image and gif include no Qt;
#   - only platform includes xcb, PipeWire or X11 headers;
#   - nothing under src/ includes a test fake or anything of tests/.
# Usage: cmake -DSRC=<src folder> [-DEXPECT=<n>] -P check_layers.cmake
# Without EXPECT the check passes when it finds no violation; with it, when it
# finds exactly n (how the check is itself tested on a tree with known faults).

cmake_minimum_required(VERSION 3.22)

if(NOT SRC)
    message(FATAL_ERROR "SRC must name the source folder to check")
endif()

# What each folder may include besides its own headers. The window layers
# may use platform's interfaces; only the programs pick its concrete parts.
set(allowed_image "")
set(allowed_gif image)
set(allowed_platform image)
set(allowed_files image gif)
set(allowed_engine image gif platform)
set(allowed_app image gif platform engine)
set(allowed_widgets image gif platform engine app)
set(allowed_preview image gif platform engine app widgets)
set(allowed_editor image gif platform engine app widgets files)
set(allowed_capture_ui image gif platform engine app widgets preview editor files)
set(allowed_cli image gif platform files engine app main)
set(allowed_main image gif platform files engine app widgets preview editor capture_ui)
set(qt_free image gif)
# Concrete display and text backends: chosen by the composition root alone.
set(backend_headers "^platform/(xcb_|portal_|pipewire_|qt_text_rasterizer)")
set(backend_users platform main)

set(violations 0)
file(GLOB layers RELATIVE ${SRC} ${SRC}/*)
foreach(layer ${layers})
    if(NOT IS_DIRECTORY ${SRC}/${layer})
        continue()
    endif()
    if(NOT DEFINED allowed_${layer})
        message("${layer}/: a folder without include rules; add it to check_layers.cmake")
        math(EXPR violations "${violations} + 1")
        continue()
    endif()
    file(GLOB_RECURSE files ${SRC}/${layer}/*.h ${SRC}/${layer}/*.cpp)
    foreach(file ${files})
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
        file(RELATIVE_PATH shown ${SRC} ${file})
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" header "${line}")
            set(problem "")
            if(header MATCHES "(^|/)tests?/|fake|_fixture")
                set(problem "a test fake or test header")
            elseif(header MATCHES "^(xcb|pipewire|spa|X11)/" AND NOT layer STREQUAL "platform")
                set(problem "a display-server header outside platform")
            elseif(header MATCHES "${backend_headers}" AND NOT layer IN_LIST backend_users)
                set(problem "a concrete backend outside the composition root")
            elseif(header MATCHES "^Q[A-Za-z]+$|^Qt[A-Za-z]*/|^q[a-z]+\\.h$" AND layer IN_LIST qt_free)
                set(problem "Qt in a layer that knows no Qt")
            elseif(line MATCHES "\"" AND header MATCHES "^([a-z_]+)/")
                string(REGEX REPLACE "^([a-z_]+)/.*" "\\1" target "${header}")
                if(NOT target STREQUAL layer AND NOT target IN_LIST allowed_${layer})
                    set(problem "the ${target} layer, which ${layer} may not use")
                endif()
            endif()
            if(problem)
                message("${shown}: includes ${header}: ${problem}")
                math(EXPR violations "${violations} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()

if(DEFINED EXPECT)
    if(NOT violations EQUAL EXPECT)
        message(FATAL_ERROR "expected ${EXPECT} violations, found ${violations}")
    endif()
elseif(violations GREATER 0)
    message(FATAL_ERROR "${violations} include rule violation(s)")
endif()
