# The manual tool makes the same PDF each time from the same source: two builds of a manual
# differ in their creation date alone. Renders the manual, and a page that uses every face of
# its fonts (the more fonts, the more orders they could come in), twice each and compares the
# files with the date masked.
#
#   cmake -DTOOL=<pagersetup-manual> -DSOURCE=docs/manual.md -DWORK=<folder> -P check_manual_repeatable.cmake

foreach(var TOOL SOURCE WORK)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "check_manual_repeatable.cmake: ${var} is not given")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# A seed given from outside would make any two runs alike: the tool must do without it.
unset(ENV{QT_HASH_SEED})

file(WRITE "${WORK}/faces.md" [=[
# Every face

Plain text, **bold text**, *oblique text*, ***bold oblique text***.

Code: `plain code`, **`bold code`**, *`oblique code`*, ***`bold oblique code`***.

## A heading with `code`

> A message box.

```
A code block.
```
]=])

# The PDF's bytes as hex digits, its creation date masked.
function(read_masked pdf out)
  file(READ "${pdf}" hex HEX)
  string(HEX "/CreationDate (" key)
  string(TOLOWER "${key}" key)
  string(FIND "${hex}" "${key}" at)
  math(EXPR odd "${at} % 2")
  if(at GREATER_EQUAL 0 AND odd EQUAL 0)
    string(LENGTH "${key}" keyLength)
    math(EXPR from "${at} + ${keyLength}")
    string(SUBSTRING "${hex}" ${from} -1 rest)
    string(FIND "${rest}" "29" close) # ")": the date is ASCII, so at a byte boundary
    if(close GREATER_EQUAL 0)
      string(SUBSTRING "${hex}" 0 ${from} head)
      string(SUBSTRING "${rest}" ${close} -1 tail)
      set(hex "${head}${tail}")
    endif()
  endif()
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

set(failures "")
foreach(document manual faces)
  if(document STREQUAL "manual")
    set(source "${SOURCE}")
  else()
    set(source "${WORK}/faces.md")
  endif()
  set(runs "")
  foreach(run 1 2)
    set(pdf "${WORK}/${document}-${run}.pdf")
    execute_process(COMMAND "${TOOL}" --source "${source}" --output "${pdf}"
                            --brand Solvendra --program xjsetup
                            --title "Solvendra Paging Encoder Setup" --manual XJSETUP.PDF --version 1.2.3
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0 OR NOT EXISTS "${pdf}")
      list(APPEND failures "the tool failed on ${source} (${result}): ${output}")
      break()
    endif()
    read_masked("${pdf}" bytes)
    list(APPEND runs "${bytes}")
  endforeach()
  list(LENGTH runs made)
  if(made EQUAL 2)
    list(GET runs 0 first)
    list(GET runs 1 second)
    if(NOT first STREQUAL second)
      list(APPEND failures "two runs on ${source} made different PDFs: ${WORK}/${document}-1.pdf and -2.pdf")
    endif()
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The manual tool does not repeat itself:\n  ${text}")
endif()
file(REMOVE_RECURSE "${WORK}")
