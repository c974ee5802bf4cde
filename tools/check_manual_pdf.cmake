# Test of the manual generator: renders the manual afresh and checks that a real PDF came out.
# Arguments: -DGENERATOR=<qv_make_manual> -DMANUAL=<manual.md> -DOUTPUT=<pdf to write>
foreach(var GENERATOR MANUAL OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_manual_pdf: -D${var}=... is required")
  endif()
endforeach()

get_filename_component(outDir "${OUTPUT}" DIRECTORY)
file(REMOVE_RECURSE "${outDir}")
file(MAKE_DIRECTORY "${outDir}")

execute_process(COMMAND "${GENERATOR}" "${MANUAL}" "${OUTPUT}"
                RESULT_VARIABLE rc ERROR_VARIABLE errors)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "qv_make_manual failed (${rc}): ${errors}")
endif()
if(NOT EXISTS "${OUTPUT}")
  message(FATAL_ERROR "qv_make_manual reported success but wrote no ${OUTPUT}")
endif()

# Compared in hex: a text read of a binary file is not byte-exact in CMake.
file(READ "${OUTPUT}" head LIMIT 5 HEX)
if(NOT head STREQUAL "255044462d")
  message(FATAL_ERROR "${OUTPUT} does not start with %PDF- (first bytes in hex: ${head})")
endif()

# A manual of a few pages with embedded fonts is tens of kilobytes; a PDF of a page or two
# without text is a few hundred bytes, which is what a lost Markdown import would give.
file(SIZE "${OUTPUT}" size)
if(size LESS 20000)
  message(FATAL_ERROR "${OUTPUT} is only ${size} bytes: the manual text is missing")
endif()

# A manual of several pages must come out as several pages; one page means the text was cut or
# never laid out. The page count is the /Count of the page tree.
file(STRINGS "${OUTPUT}" countLines REGEX "/Count [0-9]+")
set(pages 0)
foreach(line IN LISTS countLines)
  if(line MATCHES "/Count ([0-9]+)" AND CMAKE_MATCH_1 GREATER pages)
    set(pages ${CMAKE_MATCH_1})
  endif()
endforeach()
if(pages LESS 3)
  message(FATAL_ERROR "${OUTPUT} has ${pages} pages; the manual needs several")
endif()

# Each picture the manual names is in the PDF once: the Markdown import repeated a picture for
# every line of a caption wrapped in the source. Qt writes one image object per picture drawn.
# Counted by length: a CMake list of "![" items would not split at its unbalanced brackets.
file(READ "${MANUAL}" markdown)
string(REPLACE "![" "" unnamed "${markdown}")
string(LENGTH "${markdown}" markdownLength)
string(LENGTH "${unnamed}" unnamedLength)
math(EXPR namedCount "(${markdownLength} - ${unnamedLength}) / 2")
file(STRINGS "${OUTPUT}" imageLines REGEX "/Subtype /Image")
list(LENGTH imageLines drawnCount)
if(NOT drawnCount EQUAL namedCount)
  message(FATAL_ERROR "${OUTPUT} draws ${drawnCount} pictures; the manual names ${namedCount}")
endif()

# The generator must refuse a missing input instead of writing an empty manual.
execute_process(COMMAND "${GENERATOR}" "${outDir}/no-such-manual.md" "${outDir}/never.pdf"
                RESULT_VARIABLE rcMissing ERROR_QUIET)
if(rcMissing EQUAL 0 OR EXISTS "${outDir}/never.pdf")
  message(FATAL_ERROR "qv_make_manual accepted a missing input file")
endif()
message(STATUS "manual PDF: ${size} bytes, ${pages} pages")
