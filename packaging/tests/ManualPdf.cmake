# cmake -DPDF=<file> -P ManualPdf.cmake: the build rendered a real PDF manual.
if(NOT EXISTS "${PDF}")
    message(FATAL_ERROR "${PDF} was not produced")
endif()
file(SIZE "${PDF}" size)
file(READ "${PDF}" head LIMIT 5 HEX)
if(size LESS 2000 OR NOT head STREQUAL "255044462d")  # "%PDF-"
    message(FATAL_ERROR "${PDF} is not a PDF with content (${size} bytes, starts with '${head}')")
endif()
# Qt writes one page object per page; the manual has more than a title.
file(STRINGS "${PDF}" pages REGEX "/Type /Page([^s]|$)")
list(LENGTH pages count)
if(count LESS 1)
    message(FATAL_ERROR "${PDF} has no pages")
endif()
message(STATUS "${PDF}: ${size} bytes, ${count} page(s)")
