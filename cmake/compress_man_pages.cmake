# Run by CPack on the staged tree just before it is packed: compresses every
# manual page with gzip -9n, as Debian wants (no name or time stamp inside,
# so the same page always gives the same bytes).
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_DIRECTORY}/*/share/man/man*/*.[1-9]")
foreach(page IN LISTS pages)
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "could not compress ${page}: ${status}")
    endif()
endforeach()
