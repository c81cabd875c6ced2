# cmake -DSOURCE_DIR=DIR -DOUT=FILE -DVERSION=X.Y [-DCOMMIT=HASH] -P SourceVersion.cmake
#
# Writes OUT, the C++ definitions of tools/cli/version.h: the project's
# version and the git commit of SOURCE_DIR. It runs at every build, since a
# commit changes without a new configure, and rewrites OUT only when its text
# changes, so that an unchanged source relinks nothing.
#
# COMMIT, when not empty, is taken as it is: a build from a release tarball
# can name the commit it was cut from. Otherwise git is asked, but only when
# SOURCE_DIR is the top of its own checkout: a tarball unpacked inside some
# other repository (a packaging one, say) must not report that one's commit.
set(commit "${COMMIT}")
set(modified false)
find_program(GIT git)
if(commit STREQUAL "" AND GIT)
  # Only read the repository: no index refresh, so that builds running side
  # by side never contend for git's lock.
  set(ENV{GIT_OPTIONAL_LOCKS} 0)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --show-toplevel HEAD
    RESULT_VARIABLE rc OUTPUT_VARIABLE lines ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(rc EQUAL 0)
    string(REPLACE "\n" ";" lines "${lines}")
    list(GET lines 0 top)
    list(GET lines 1 head)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" source)
    if(top STREQUAL source)
      set(commit "${head}")
      execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
        RESULT_VARIABLE rc OUTPUT_VARIABLE changes ERROR_QUIET)
      if(rc EQUAL 0 AND NOT changes STREQUAL "")
        set(modified true)
      endif()
    endif()
  endif()
endif()
if(NOT commit MATCHES "^[0-9a-fA-F]*$")
  message(FATAL_ERROR "QUANDRIX_SOURCE_COMMIT must be a commit's hexadecimal name, not '${commit}'")
endif()

set(text "// Written by cmake/SourceVersion.cmake at build time; do not edit.
#include \"tools/cli/version.h\"

const char* const cli::kProjectVersion = \"${VERSION}\";
const char* const cli::kSourceCommit = \"${commit}\";
const bool cli::kSourceModified = ${modified};
")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
