# Makes the package's Debian changelog from cmake/package/changes: one entry a version,
# newest first, its changes as "  * " items wrapped at 78 columns, each entry dated by the
# last commit that carries the version (the project VERSION in CMakeLists.txt). The
# version being packaged is dated by SOURCE_DATE_EPOCH (the last commit, which cpack sets)
# or else by the last commit; outside a git checkout, by the time of installing.
#
# Run when installing (the date is that of the commit installed, not of the configure):
#   SUITE_SOURCE_DIR  SUITE_CHANGES  SUITE_VERSION  SUITE_PACKAGE_NAME  SUITE_MAINTAINER
#   SUITE_CHANGELOG   the file to write; SUITE_CHANGELOG.gz is written beside it

# suite_read_changes(FILE VERSIONS_VAR): the versions of FILE in order, and for each
# version V the variable _changes_V holding its items (a list, one item an element).
function(suite_read_changes file versions_var)
  # A ";" would split a CMake list: it travels as @SEMICOLON@ and is put back on output.
  file(READ "${file}" content)
  string(REPLACE ";" "@SEMICOLON@" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")
  set(versions "")
  set(version "")
  set(item "")
  set(items "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
      continue()
    endif()
    if(line MATCHES "^([0-9][0-9A-Za-z.+~-]*)[ \t]*$")
      if(item)
        list(APPEND items "${item}")
      endif()
      if(version)
        set(_changes_${version} "${items}" PARENT_SCOPE)
      endif()
      set(version "${CMAKE_MATCH_1}")
      list(APPEND versions "${version}")
      set(item "")
      set(items "")
    elseif(line MATCHES "^- (.*)$" AND version)
      if(item)
        list(APPEND items "${item}")
      endif()
      set(item "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^  +(.*)$" AND item)
      string(APPEND item " ${CMAKE_MATCH_1}")
    else()
      message(FATAL_ERROR "${file}: cannot read the line \"${line}\" (a version, \"- \" and a change, or a change going on indented)")
    endif()
  endforeach()
  if(item)
    list(APPEND items "${item}")
  endif()
  if(version)
    set(_changes_${version} "${items}" PARENT_SCOPE)
  endif()
  set(${versions_var} "${versions}" PARENT_SCOPE)
endfunction()

# The project VERSION as CMakeLists.txt declares it in TEXT (empty when it does not).
function(suite_declared_version text out_var)
  set(v "")
  if(text MATCHES "project\\([^)]*VERSION[ \t\n]+([0-9][0-9A-Za-z.+~-]*)")
    set(v "${CMAKE_MATCH_1}")
  endif()
  set(${out_var} "${v}" PARENT_SCOPE)
endfunction()

# For each earlier version V, _date_V: the commit time (seconds) of the last commit whose
# CMakeLists.txt declares V, i.e. of the commit just before the one that declared the next.
function(suite_version_dates)
  execute_process(COMMAND git -C "${SUITE_SOURCE_DIR}" log --format=%H "-Gproject\\(" -- CMakeLists.txt
                  OUTPUT_VARIABLE commits RESULT_VARIABLE result ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    return()
  endif()
  string(REPLACE "\n" ";" commits "${commits}")
  set(newer_commit "")
  set(newer_version "")
  foreach(commit IN LISTS commits)
    execute_process(COMMAND git -C "${SUITE_SOURCE_DIR}" show "${commit}:CMakeLists.txt"
                    OUTPUT_VARIABLE text ERROR_QUIET)
    suite_declared_version("${text}" version)
    if(version AND newer_commit AND NOT version STREQUAL newer_version)
      execute_process(COMMAND git -C "${SUITE_SOURCE_DIR}" log -1 --format=%ct "${newer_commit}^"
                      OUTPUT_VARIABLE time ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
      if(time MATCHES "^[0-9]+$" AND NOT DEFINED _date_${version})
        set(_date_${version} "${time}" PARENT_SCOPE)
      endif()
    endif()
    if(version)
      set(newer_commit "${commit}")
      set(newer_version "${version}")
    endif()
  endforeach()
endfunction()

# TEXT wrapped into lines of at most WIDTH columns, the first after FIRST, the others
# after REST.
function(suite_wrap text first rest width out_var)
  string(REGEX REPLACE "[ \t]+" ";" words "${text}")
  set(out "")
  set(line "${first}")
  set(fresh TRUE)
  foreach(word IN LISTS words)
    string(REPLACE "@SEMICOLON@" ";" plain "${line} ${word}")
    string(LENGTH "${plain}" length)
    if(NOT fresh AND length GREATER width)
      string(APPEND out "${line}\n")
      set(line "${rest}${word}")
    elseif(fresh)
      string(APPEND line "${word}")
    else()
      string(APPEND line " ${word}")
    endif()
    set(fresh FALSE)
  endforeach()
  set(${out_var} "${out}${line}\n" PARENT_SCOPE)
endfunction()

# An RFC 2822 date (Debian's changelog date) of a time in seconds.
function(suite_rfc2822 seconds out_var)
  execute_process(COMMAND env LC_ALL=C date -u -R -d "@${seconds}"
                  OUTPUT_VARIABLE text RESULT_VARIABLE result OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "changelog: date cannot write the time ${seconds}")
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

suite_read_changes("${SUITE_CHANGES}" _versions)
list(GET _versions 0 _newest)
if(NOT _newest STREQUAL SUITE_VERSION)
  message(FATAL_ERROR "${SUITE_CHANGES} does not begin with what changed in ${SUITE_VERSION}")
endif()

# The version packaged: the time of the files in the package, the last commit.
set(_now "$ENV{SOURCE_DATE_EPOCH}")
if(NOT _now MATCHES "^[0-9]+$")
  execute_process(COMMAND git -C "${SUITE_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE _now ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(NOT _now MATCHES "^[0-9]+$")
  # Not a git checkout (a source archive): dated now, as the files are.
  string(TIMESTAMP _now "%s" UTC)
  message(WARNING "changelog: not a git checkout and no SOURCE_DATE_EPOCH: its entries are dated now")
endif()
set(_date_${SUITE_VERSION} "${_now}")
suite_version_dates()

set(_text "")
foreach(_version IN LISTS _versions)
  if(NOT DEFINED _date_${_version})
    message(WARNING "changelog: no commit declares VERSION ${_version}; its entry is dated as ${SUITE_VERSION}")
    set(_date_${_version} "${_now}")
  endif()
  if(NOT _changes_${_version})
    message(FATAL_ERROR "${SUITE_CHANGES}: ${_version} lists no change")
  endif()
  suite_rfc2822("${_date_${_version}}" _date)
  string(APPEND _text "${SUITE_PACKAGE_NAME} (${_version}) unstable; urgency=medium\n\n")
  foreach(_item IN LISTS _changes_${_version})
    suite_wrap("${_item}" "  * " "    " 78 _lines)
    string(APPEND _text "${_lines}")
  endforeach()
  string(APPEND _text "\n -- ${SUITE_MAINTAINER}  ${_date}\n\n")
endforeach()
string(REGEX REPLACE "\n\n$" "\n" _text "${_text}")
string(REPLACE "@SEMICOLON@" ";" _text "${_text}")

file(WRITE "${SUITE_CHANGELOG}" "${_text}")
execute_process(COMMAND gzip -9nc "${SUITE_CHANGELOG}" OUTPUT_FILE "${SUITE_CHANGELOG}.gz"
                RESULT_VARIABLE _gzip_result)
if(NOT _gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the package changelog")
endif()
