# Writes kx_version.h with the project's version and the commit being built;
# run at every build, rewriting the header only when its text changes.
# In: VERSION, SOURCE_DIR, OUT.
execute_process(COMMAND git -C "${SOURCE_DIR}" describe --always --dirty --abbrev=12
                OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE rc ERROR_QUIET)
if(NOT rc EQUAL 0 OR commit STREQUAL "")
  set(commit "unknown")
endif()
set(text "#pragma once\n// Generated at build time.\n#define KX_VERSION \"${VERSION}\"\n#define KX_COMMIT \"${commit}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
