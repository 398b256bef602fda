# The manual's text per brand, as the manual tool fills it from docs/manual.md: each brand's
# names are there and the other brand's are not, the encoder maker's protocol goes by the
# program's label for it, nothing is left unfilled, and a source with a fault makes the tool
# fail without writing a PDF.
#
#   cmake -DTOOL=<pagersetup-manual> -DSOURCE=docs/manual.md -DWORK=<folder> -P check_manual_text.cmake

foreach(var TOOL SOURCE WORK)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "check_manual_text.cmake: ${var} is not given")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(failures "")

set(brands Solvendra Kestrane)
set(programs xjsetup zqsetup)
set(files XJSETUP.PDF ZQSETUP.PDF)

# Both programs label the encoder maker's protocol "Kestrane" (its option in Encoder Settings, the
# test console's status line and log), so both manuals name it so. These are the uses of the
# word that stand for the protocol; they are taken out before the other brand's names are
# looked for.
set(protocol_label Kestrane)
set(protocol_uses
  "${protocol_label}(\\*\\*)?[ \n][Pp]rotocols?"  # "the Kestrane protocol", "Kestrane Protocol, 9600,n,8,1"
  "COMP2, ${protocol_label} \\("                  # the options of Encoder Settings
  "\\| Scope, ${protocol_label} \\|")             # the console's table of protocols

foreach(brand program file IN ZIP_LISTS brands programs files)
  set(markdown "${WORK}/${program}.md")
  execute_process(COMMAND "${TOOL}" --source "${SOURCE}" --markdown "${markdown}"
                          --brand ${brand} --program ${program}
                          --title "${brand} Paging Encoder Setup" --manual ${file} --version 1.2.3
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0 OR NOT EXISTS "${markdown}")
    list(APPEND failures "the ${brand} text was not made (${result}): ${output}")
    continue()
  endif()
  file(READ "${markdown}" text)
  set(withoutProtocol "${text}")
  foreach(use IN LISTS protocol_uses)
    string(REGEX REPLACE "${use}" "" withoutProtocol "${withoutProtocol}")
  endforeach()
  string(TOLOWER "${withoutProtocol}" lower)
  foreach(wanted "${brand} Paging Encoder Setup" "${program}" "${file}" "1.2.3" "${protocol_label} protocol")
    string(FIND "${text}" "${wanted}" at)
    if(at LESS 0)
      list(APPEND failures "the ${brand} manual never names \"${wanted}\"")
    endif()
  endforeach()
  foreach(otherBrand otherProgram otherFile IN ZIP_LISTS brands programs files)
    if(otherBrand STREQUAL brand)
      continue()
    endif()
    foreach(unwanted ${otherBrand} ${otherProgram} ${otherFile})
      string(TOLOWER "${unwanted}" unwanted)
      string(FIND "${lower}" "${unwanted}" at)
      if(at GREATER_EQUAL 0)
        list(APPEND failures "the ${brand} manual names \"${unwanted}\" of the other brand")
      endif()
    endforeach()
  endforeach()
  # No protocol goes by a brand's name other than the program's label.
  string(TOLOWER "${text}" all)
  foreach(name IN LISTS brands)
    if(NOT name STREQUAL protocol_label)
      string(TOLOWER "${name} protocol" unwanted)
      string(FIND "${all}" "${unwanted}" at)
      if(at GREATER_EQUAL 0)
        list(APPEND failures "the ${brand} manual speaks of the \"${name} protocol\", which the program calls ${protocol_label}")
      endif()
    endif()
  endforeach()
  foreach(leftover "{{" "}}" "<!--" "-->")
    string(FIND "${text}" "${leftover}" at)
    if(at GREATER_EQUAL 0)
      list(APPEND failures "the ${brand} manual still holds \"${leftover}\"")
    endif()
  endforeach()
endforeach()

# Sources with a fault: the tool says no and leaves no PDF behind.
set(faults
  "unknown placeholder|Start {{PROGRAM}} or {{PROGRAMME}}."
  "unclosed block|{{#if Solvendra}}\nOnly for one brand.\n"
  "else without if|Text.\n{{else}}\nMore.\n"
  "end without if|Text.\n{{/if}}\n"
  "unclosed note|Text. <!-- a note\nthat never ends.\n")
foreach(fault IN LISTS faults)
  string(FIND "${fault}" "|" bar)
  string(SUBSTRING "${fault}" 0 ${bar} name)
  math(EXPR bar "${bar} + 1")
  string(SUBSTRING "${fault}" ${bar} -1 content)
  string(REPLACE "\\n" "\n" content "${content}")
  file(WRITE "${WORK}/fault.md" "# Chapter\n\n${content}")
  file(REMOVE "${WORK}/fault.pdf")
  execute_process(COMMAND "${TOOL}" --source "${WORK}/fault.md" --output "${WORK}/fault.pdf"
                          --brand Solvendra --program xjsetup
                          --title "Solvendra Paging Encoder Setup" --manual XJSETUP.PDF --version 1
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result EQUAL 0)
    list(APPEND failures "a source with an ${name} was accepted")
  endif()
  if(EXISTS "${WORK}/fault.pdf")
    list(APPEND failures "a source with an ${name} left a PDF behind")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The manual's text is not right:\n  ${text}")
endif()
file(REMOVE_RECURSE "${WORK}")
