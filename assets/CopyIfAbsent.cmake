# cmake -DSRC=<file> -DDST=<file> -P CopyIfAbsent.cmake
# Seeds a file of the user's data folder once; a file already there is the
# user's own and is never replaced. Copied under a temporary name and renamed,
# so that an interrupted build cannot leave a cut-short file that is then kept.
if(NOT EXISTS "${DST}")
    get_filename_component(dir "${DST}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${SRC}" "${DST}.part")
    file(RENAME "${DST}.part" "${DST}")
endif()
