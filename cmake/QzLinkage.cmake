# The C++ libraries below the views (ICU, PCRE2, pugixml), each as one target
# that every folder links. A program that loads no toolkit may take them in
# statically, with the C++ run-time itself (qz_static_runtime): binding a
# program to libstdc++, ICU and their kin as shared libraries took more than
# half of a script's start. Every other program, and a sanitized build, links
# them as shared libraries; so does any build on a machine without their
# static archives.

option(QZ_STATIC_RUNTIME "Link the command-line programs with the C++ libraries and run-time in them" ON)

pkg_check_modules(QZ_ICU REQUIRED IMPORTED_TARGET GLOBAL icu-uc icu-i18n)
pkg_check_modules(QZ_PCRE2_16 REQUIRED IMPORTED_TARGET GLOBAL libpcre2-16)
pkg_check_modules(QZ_PUGIXML REQUIRED IMPORTED_TARGET GLOBAL pugixml)

set(QZ_STATIC_RUNTIME_USABLE ${QZ_STATIC_RUNTIME})
if(QZ_SANITIZE)
  set(QZ_STATIC_RUNTIME_USABLE OFF)
endif()

# qz_cxx_dependency(name SHARED target STATIC archive...): the target `name`.
function(qz_cxx_dependency name)
  cmake_parse_arguments(ARG "" "SHARED" "STATIC" ${ARGN})
  set(archives "")
  foreach(a IN LISTS ARG_STATIC)
    find_library(QZ_ARCHIVE_${a} NAMES ${a})
    if(NOT QZ_ARCHIVE_${a})
      message(STATUS "${a} not found: ${name} is linked as a shared library everywhere")
      set(archives "")
      break()
    endif()
    list(APPEND archives ${QZ_ARCHIVE_${a}})
  endforeach()
  add_library(${name} INTERFACE)
  if(QZ_STATIC_RUNTIME_USABLE AND archives)
    # Evaluated for the program being linked: its QZ_STATIC_RUNTIME property decides.
    set(static "$<BOOL:$<TARGET_PROPERTY:QZ_STATIC_RUNTIME>>")
    list(JOIN archives "$<SEMICOLON>" joined)
    target_link_libraries(${name} INTERFACE "$<${static}:${joined}>" "$<$<NOT:${static}>:${ARG_SHARED}>")
  else()
    target_link_libraries(${name} INTERFACE ${ARG_SHARED})
  endif()
endfunction()

qz_cxx_dependency(qz_icu SHARED PkgConfig::QZ_ICU STATIC libicui18n.a libicuuc.a libicudata.a)
target_link_libraries(qz_icu INTERFACE ${CMAKE_DL_LIBS})
qz_cxx_dependency(qz_pcre2 SHARED PkgConfig::QZ_PCRE2_16 STATIC libpcre2-16.a)
qz_cxx_dependency(qz_pugixml SHARED PkgConfig::QZ_PUGIXML STATIC libpugixml.a)

# A program that takes the libraries above, and the C++ run-time, in itself.
function(qz_static_runtime target)
  if(QZ_STATIC_RUNTIME_USABLE)
    set_target_properties(${target} PROPERTIES QZ_STATIC_RUNTIME ON)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
