# cmake -DSOURCE=<file> -DTARGET=<file> -P CopyIfMissing.cmake: copies SOURCE to TARGET unless TARGET exists.
if(NOT EXISTS "${TARGET}")
    get_filename_component(directory "${TARGET}" DIRECTORY)
    file(MAKE_DIRECTORY "${directory}")
    file(COPY_FILE "${SOURCE}" "${TARGET}")
endif()
