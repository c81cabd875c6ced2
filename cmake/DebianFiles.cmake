# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the staged install of a package,
# before it is packed: what Debian asks of a package beyond the install.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/${CPACK_QUANDRIX_DOCDIR}")

# Manual pages compressed; -n leaves out the name and time, so the same page
# gives the same bytes.
file(GLOB pages "${root}/${CPACK_QUANDRIX_MANDIR}/man1/*.1")
foreach(page ${pages})
  execute_process(COMMAND gzip -9n "${page}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${page} failed")
  endif()
endforeach()

# The licence is the package's copyright file (one copy, where Debian looks).
file(RENAME "${doc}/LICENSE" "${doc}/copyright")

# The changelog Debian tools read for a native package: this version's entry,
# dated by SOURCE_DATE_EPOCH when set (reproducible builds), else now.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${doc}/changelog"
  "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
  "  * Quandrix 2oo5 ${CPACK_PACKAGE_VERSION}: the intro, its tools and their manual pages.\n\n"
  " -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}\n")
execute_process(COMMAND gzip -9n "${doc}/changelog" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip ${doc}/changelog failed")
endif()
