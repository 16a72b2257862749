# System DLLs that Windows does not keep among its "known DLLs" are looked for
# in the executable's own folder first when they are imported the ordinary
# way, before any of our code runs. The launcher is started from a downloads
# folder, and the uninstaller from the temporary folder: anyone who can drop
# a file there could have it loaded as, say, VERSION.dll. So these DLLs are
# delay-loaded instead (mingw's delay-import libraries, made here from the
# toolchain's import libraries): each is loaded on its first call, after
# start-up has limited the DLL search to the system folder.
#
# vorn_delay_loaded(<name>...) makes a link target vorn_delay_<name> for each
# system library name (as in lib<name>.a), to link instead of <name>.
get_filename_component(tool_prefix ${CMAKE_CXX_COMPILER} NAME)
string(REGEX REPLACE "g\\+\\+.*$" "" tool_prefix ${tool_prefix})  # x86_64-w64-mingw32-
find_program(VORN_NM NAMES ${tool_prefix}nm REQUIRED)
find_program(VORN_DLLTOOL NAMES ${tool_prefix}dlltool REQUIRED)
find_program(VORN_OBJDUMP NAMES ${tool_prefix}objdump REQUIRED)  # tools/check-imports
find_library(VORN_DELAYIMP NAMES libdelayimp.a REQUIRED)
set(VORN_DELAY_LOAD_SCRIPT ${CMAKE_CURRENT_LIST_FILE})  # a change here makes the libraries again

function(vorn_delay_loaded)
  set(dir ${CMAKE_BINARY_DIR}/delayimp)
  file(MAKE_DIRECTORY ${dir})
  foreach(name IN LISTS ARGN)
    find_library(import_${name} NAMES lib${name}.a REQUIRED NO_CACHE)
    set(delay_lib ${dir}/lib${name}_delay.a)
    if(NOT EXISTS ${delay_lib} OR ${import_${name}} IS_NEWER_THAN ${delay_lib}
       OR ${VORN_DELAY_LOAD_SCRIPT} IS_NEWER_THAN ${delay_lib})
      # Every function the import library names, so that no call falls back
      # to an ordinary import.
      execute_process(COMMAND ${VORN_NM} -g --defined-only ${import_${name}}
                      OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
      string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
      list(TRANSFORM imports REPLACE "^__imp_" "")
      list(REMOVE_DUPLICATES imports)
      list(JOIN imports "\n" exports)
      file(WRITE ${dir}/${name}.def "LIBRARY ${name}.dll\nEXPORTS\n${exports}\n")
      execute_process(COMMAND ${VORN_DLLTOOL} --input-def ${dir}/${name}.def --dllname ${name}.dll
                              --output-delaylib ${delay_lib}
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
    add_library(vorn_delay_${name} INTERFACE)
    # The import library comes last, only for the few helpers some carry
    # besides imports (gdiplus' cached font families): every import is found
    # in the delay library first. tools/check-imports verifies the result.
    target_link_libraries(vorn_delay_${name} INTERFACE ${delay_lib} ${VORN_DELAYIMP} ${import_${name}})
  endforeach()
endfunction()
