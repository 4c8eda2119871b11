# Debian's hardening flags (dpkg-buildflags with hardening=+all: stack
# protector, format checks, _FORTIFY_SOURCE, relro and bind-now), for every
# target of the program, so that the packaged program is built as Debian
# builds its own. The optimisation and debug flags of dpkg-buildflags are left
# to CMAKE_BUILD_TYPE, its path mapping out; _FORTIFY_SOURCE needs the
# optimiser, so a Debug build goes without it. MOLVERA_HARDENING=OFF builds
# without them; the sanitizer build does.
option(MOLVERA_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON)
find_program(MOLVERA_DPKG_BUILDFLAGS dpkg-buildflags)
if(MOLVERA_HARDENING AND NOT MOLVERA_SANITIZE AND MOLVERA_DPKG_BUILDFLAGS)
  function(molvera_buildflags kind out)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${MOLVERA_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # Not the optimisation, the debug information nor the path mapping of
    # reproducible builds (the debugger finds the sources as built).
    list(FILTER flags EXCLUDE REGEX "^-(g.*|O.*|ffile-prefix-map=.*|fdebug-prefix-map=.*)$")
    set(${out} ${flags} PARENT_SCOPE)
  endfunction()
  molvera_buildflags(CXXFLAGS hardening_cxx)
  molvera_buildflags(CPPFLAGS hardening_cpp)
  molvera_buildflags(LDFLAGS hardening_ld)
  foreach(f IN LISTS hardening_cpp)
    if(f MATCHES "^-D_FORTIFY_SOURCE")
      add_compile_options($<$<NOT:$<CONFIG:Debug>>:${f}>)
    else()
      add_compile_options(${f})
    endif()
  endforeach()
  add_compile_options(${hardening_cxx})
  add_link_options(${hardening_ld})
  message(STATUS "Hardening: ${hardening_cpp} ${hardening_cxx} ${hardening_ld}")
endif()
