# Writes an icon file (.ico) that holds PNG images, one per size, the form Windows Vista and later read:
#   cmake -DOUTPUT=<file.ico> "-DIMAGES=<a.png;b.png;...>" -P MakeIcon.cmake
# Each image's width and height come from its PNG header, and it goes into the file as it is.
#
# A CMake string cannot hold a zero byte, and the icon's directory is full of them: the directory is put together
# from files of one byte each with `cmake -E cat`. The bytes 1 to 255 are written as text; the zero byte is copied
# out of the first image (a PNG's first chunk length, 0x0000000D, begins with zero bytes) by a file:// download of
# that one byte.
cmake_minimum_required(VERSION 3.25)

if(NOT OUTPUT OR NOT IMAGES)
    message(FATAL_ERROR "usage: cmake -DOUTPUT=<file.ico> \"-DIMAGES=<a.png;...>\" -P MakeIcon.cmake")
endif()

set(work ${OUTPUT}.parts)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
list(GET IMAGES 0 first_image)

# The file that holds the one byte <value>.
function(byte_file value out)
    set(path ${work}/${value}.byte)
    if(NOT EXISTS ${path})
        if(value EQUAL 0)
            if(first_image MATCHES "^/")
                set(url "file://${first_image}")
            else()
                set(url "file:///${first_image}") # a drive letter first
            endif()
            file(DOWNLOAD "${url}" ${path} RANGE_START 8 RANGE_END 8 STATUS status)
            list(GET status 0 code)
            file(READ ${path} zero HEX)
            if(NOT code EQUAL 0 OR NOT zero STREQUAL "00")
                message(FATAL_ERROR "MakeIcon.cmake: no zero byte at the start of ${first_image}'s first chunk")
            endif()
        else()
            string(ASCII ${value} character)
            file(WRITE ${path} "${character}")
        endif()
    endif()
    set(${out} ${path} PARENT_SCOPE)
endfunction()

# Appends the files of a little-endian number of <count> bytes to the list named <list_name>.
function(append_number list_name value count)
    set(list ${${list_name}})
    foreach(i RANGE 1 ${count})
        math(EXPR byte "${value} % 256")
        math(EXPR value "${value} / 256")
        byte_file(${byte} path)
        list(APPEND list ${path})
    endforeach()
    set(${list_name} ${list} PARENT_SCOPE)
endfunction()

list(LENGTH IMAGES count)
set(directory "")
append_number(directory 0 2)        # reserved
append_number(directory 1 2)        # an icon, not a cursor
append_number(directory ${count} 2) # images
math(EXPR offset "6 + 16 * ${count}")
foreach(image ${IMAGES})
    file(READ ${image} signature LIMIT 8 HEX)
    if(NOT signature STREQUAL "89504e470d0a1a0a")
        message(FATAL_ERROR "MakeIcon.cmake: ${image} is not a PNG image")
    endif()
    file(READ ${image} header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING ${header} 0 8 width_hex)
    string(SUBSTRING ${header} 8 8 height_hex)
    math(EXPR width "0x${width_hex}")
    math(EXPR height "0x${height_hex}")
    if(width GREATER 256 OR height GREATER 256)
        message(FATAL_ERROR "MakeIcon.cmake: ${image} is larger than 256 pixels")
    endif()
    file(SIZE ${image} size)
    # A width or height of 256 is written as 0.
    math(EXPR width "${width} % 256")
    math(EXPR height "${height} % 256")
    append_number(directory ${width} 1)
    append_number(directory ${height} 1)
    append_number(directory 0 1)  # no palette
    append_number(directory 0 1)  # reserved
    append_number(directory 1 2)  # planes
    append_number(directory 32 2) # bits a pixel
    append_number(directory ${size} 4)
    append_number(directory ${offset} 4)
    math(EXPR offset "${offset} + ${size}")
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${directory} ${IMAGES} OUTPUT_FILE ${OUTPUT}.new RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "MakeIcon.cmake: cannot write ${OUTPUT}")
endif()
file(SIZE ${OUTPUT}.new written)
if(NOT written EQUAL offset)
    message(FATAL_ERROR "MakeIcon.cmake: ${OUTPUT} has ${written} bytes instead of ${offset}")
endif()
file(RENAME ${OUTPUT}.new ${OUTPUT})
file(REMOVE_RECURSE ${work})
