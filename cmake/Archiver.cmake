# Builds the embedded command-line archiver (7za.exe, 7za.dll, 7zxa.dll) with
# tools/archiver/build-archiver.sh, from the source of Debian's `7zip` package.
#
#   include(cmake/Archiver.cmake)
#   varnholt_add_archiver(<native|windows> <outdir>)
#
# Creates a custom command whose outputs are <outdir>/7za.exe, <outdir>/7za.dll
# and <outdir>/7zxa.dll, and the custom target `archiver` depending on them.
# The list of the three files is also returned in VARNHOLT_ARCHIVER_FILES
# (in the caller's scope), for use as DEPENDS of an embedding step. A target
# using them should also get add_dependencies(<it> archiver), so that only the
# `archiver` target runs the build (Makefile generators otherwise may run the
# custom command from both targets at once).
#
# Calling it a second time (for the other KIND) adds a target
# `archiver_<kind>` for those outputs, and `archiver` then depends on it too.
#
# Cache variable VARNHOLT_ARCHIVER_CACHE (optional): the build cache root; when
# empty the script's default is used ($VARNHOLT_ARCHIVER_CACHE from the
# environment, else ~/.cache/varnholt-archiver).
#
# Cache variable VARNHOLT_ARCHIVER_DIR (optional): a folder that already holds
# the three files for the build's target (7za.exe, 7za.dll, 7zxa.dll); they
# are copied instead of building the archiver, so no source is fetched.

include_guard(GLOBAL)

set(VARNHOLT_ARCHIVER_CACHE "" CACHE PATH
    "Cache root for the built archiver files (empty: script default)")
set(VARNHOLT_ARCHIVER_DIR "" CACHE PATH
    "Folder with prebuilt archiver files 7za.exe, 7za.dll and 7zxa.dll (empty: build them)")

function(varnholt_add_archiver KIND OUTDIR)
  if(NOT KIND MATCHES "^(native|windows)$")
    message(FATAL_ERROR "varnholt_add_archiver: KIND must be native or windows, not '${KIND}'")
  endif()
  find_program(VARNHOLT_BASH bash REQUIRED)

  get_filename_component(_dir "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tools/archiver" ABSOLUTE)
  get_filename_component(_out "${OUTDIR}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(_script "${_dir}/build-archiver.sh")
  set(_outputs "${_out}/7za.exe" "${_out}/7za.dll" "${_out}/7zxa.dll")

  if(VARNHOLT_ARCHIVER_DIR)
    set(_given "")
    foreach(_file 7za.exe 7za.dll 7zxa.dll)
      if(NOT EXISTS "${VARNHOLT_ARCHIVER_DIR}/${_file}")
        message(FATAL_ERROR "VARNHOLT_ARCHIVER_DIR: ${VARNHOLT_ARCHIVER_DIR}/${_file} does not exist")
      endif()
      list(APPEND _given "${VARNHOLT_ARCHIVER_DIR}/${_file}")
    endforeach()
    add_custom_command(
      OUTPUT ${_outputs}
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${_out}"
      COMMAND "${CMAKE_COMMAND}" -E copy ${_given} "${_out}"
      DEPENDS ${_given}
      COMMENT "Taking the archiver (${KIND}) from ${VARNHOLT_ARCHIVER_DIR}"
      VERBATIM)
  else()
    set(_env)
    if(VARNHOLT_ARCHIVER_CACHE)
      set(_env "${CMAKE_COMMAND}" -E env "VARNHOLT_ARCHIVER_CACHE=${VARNHOLT_ARCHIVER_CACHE}")
    endif()
    add_custom_command(
      OUTPUT ${_outputs}
      COMMAND ${_env} "${VARNHOLT_BASH}" "${_script}" "${KIND}" "${_out}"
      DEPENDS
        "${_script}"
        "${_dir}/Format7z.makefile.gcc"
        "${_dir}/Format7zExtract.makefile.gcc"
      COMMENT "Building the archiver (${KIND}) into ${_out}"
      USES_TERMINAL
      VERBATIM)
  endif()

  if(NOT TARGET archiver)
    add_custom_target(archiver DEPENDS ${_outputs})
  else()
    add_custom_target(archiver_${KIND} DEPENDS ${_outputs})
    add_dependencies(archiver archiver_${KIND})
  endif()

  set(VARNHOLT_ARCHIVER_FILES ${_outputs} PARENT_SCOPE)
endfunction()
