# Building the binding against an existing LentraSDK library instead of the stand-in in sdk/.
#
# A vendor library is usually laid out as libLentraSDK.so -> libLentraSDK.so.1 ->
# libLentraSDK.so.1.2.3 with the soname libLentraSDK.so.1. The modules linked against it load it
# by its soname, so that is the name the library must have beside them: the real file is
# installed under its soname (installing the link named on the command line would put a link, or
# nothing, in the wheel). Whatever cannot work is refused here, at configuration, rather than
# later by the compiler or at import.

# The soname recorded in the ELF library `file`, or "" when it has none (or is no ELF library).
function(lentrasdk_soname file out)
  set(soname "")
  if(CMAKE_OBJDUMP)
    execute_process(COMMAND "${CMAKE_OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump ERROR_QUIET
                    RESULT_VARIABLE failed)
    if(NOT failed AND dump MATCHES "SONAME +([^ \t\r\n]+)")
      set(soname "${CMAKE_MATCH_1}")
    endif()
  endif()
  set(${out} "${soname}" PARENT_SCOPE)
endfunction()

function(lentrasdk_use_own_library library include_dir)
  if(NOT EXISTS "${library}" OR IS_DIRECTORY "${library}")
    message(FATAL_ERROR "LENTRASDK_LIBRARY: no library file at ${library}")
  endif()
  if(NOT include_dir)
    message(FATAL_ERROR "LENTRASDK_LIBRARY is set, so LENTRASDK_INCLUDE_DIR must name the folder "
                        "holding the LentraSDK.h that goes with it")
  endif()
  if(NOT EXISTS "${include_dir}/LentraSDK.h")
    message(FATAL_ERROR "LENTRASDK_INCLUDE_DIR: no LentraSDK.h in ${include_dir}")
  endif()

  if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    # Elsewhere the library is installed as it was given.
    add_library(LentraSDK SHARED IMPORTED GLOBAL)
    set_target_properties(LentraSDK PROPERTIES IMPORTED_LOCATION "${library}"
                                               INTERFACE_INCLUDE_DIRECTORIES "${include_dir}")
    install(FILES "${library}" DESTINATION pylentrasdk)
    return()
  endif()

  get_filename_component(real "${library}" REALPATH)
  get_filename_component(given_name "${library}" NAME)
  lentrasdk_soname("${real}" soname)

  add_library(LentraSDK SHARED IMPORTED GLOBAL)
  set_target_properties(LentraSDK PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${include_dir}")
  if(soname)
    set_target_properties(LentraSDK PROPERTIES IMPORTED_LOCATION "${real}" IMPORTED_SONAME "${soname}")
    set(installed_name "${soname}")
  elseif(given_name MATCHES "^lib.*\\.so$")
    # Without a soname the linker records the name the library is linked by: linked as
    # -lLentraSDK, it is looked for as libLentraSDK.so.
    set_target_properties(LentraSDK PROPERTIES IMPORTED_LOCATION "${library}" IMPORTED_NO_SONAME TRUE)
    set(installed_name "${given_name}")
  else()
    message(FATAL_ERROR "LENTRASDK_LIBRARY: ${library} has no soname; give the library as a file "
                        "named libLentraSDK.so")
  endif()
  install(FILES "${real}" DESTINATION pylentrasdk RENAME "${installed_name}")
  message(STATUS "LentraSDK: ${real}, installed beside the modules as ${installed_name}")
endfunction()
