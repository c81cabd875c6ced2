# `cmake --install`: the programs to bin/, one manual page per program to
# share/man/man1/, the README, the licence and the third-party notices to
# share/doc/quandrix/, and the documents the README links to into docs/ there,
# so that the links between them still lead somewhere; every path a
# GNUInstallDirs one, so a distribution can move each. CPack's Debian package
# (`cpack -G DEB` in the build tree) is made from the same install.
set(CMAKE_INSTALL_DOCDIR "share/doc/quandrix" CACHE PATH "Documentation (DATAROOTDIR/doc/quandrix)")
include(GNUInstallDirs)

# The tools a build leaves out (the capture tool without libpng) are not
# installed, nor their pages.
foreach(program quandrix quandrix-capture quandrix-texdump quandrix-textpatch quandrix-xminfo quandrix-xmrender)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(NOT WIN32)
      install(FILES docs/man/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endif()
endforeach()
install(FILES README.md LICENSE THIRD_PARTY.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README's links lead into docs/: its pages go along (not the pictures,
# which would double the package, nor the man pages, installed above). A
# directory rule rather than a glob, so that no build re-checks the folder.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md" PATTERN man EXCLUDE)

if(WIN32)
  return()
endif()

set(QUANDRIX_PACKAGE_MAINTAINER "The Quiet Raster Society <quandrix@example.org>" CACHE STRING
    "The Debian package's Maintainer field: whoever builds a package to hand out puts their own here")
set(CPACK_PACKAGE_NAME quandrix)
set(CPACK_PACKAGE_VENDOR "The Quiet Raster Society")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual intro with its own XM player")
set(CPACK_PACKAGE_DESCRIPTION
  "Quandrix 2oo5 is a demoscene intro: one program that opens a 640 x 480\n"
  "OpenGL display and draws twin deforming tubes, a morphing point cloud,\n"
  "text pages and a scroller to an embedded XM song, played by its own\n"
  "replay engine and software mixer.\n"
  "\n"
  "The tools beside it render and play XM songs exactly as the intro does\n"
  "(quandrix-xmrender, quandrix-xminfo), write its textures as PNG files\n"
  "(quandrix-texdump), re-text a built intro (quandrix-textpatch) and\n"
  "capture the show as frames or an MP4 video (quandrix-capture).")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUANDRIX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs really link (SDL2, OpenGL, GLU, libpng, the C++
# runtime) become the Depends field through dpkg-shlibdeps, with the versions
# the build saw; a list kept by hand would drift from the link lines.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL opens the GL and EGL libraries that make contexts (libGL for GLX, libEGL
# for Wayland and the capture tool's offscreen driver) at run time, where
# dpkg-shlibdeps cannot see them; through them come Mesa's drivers.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1")
# quandrix-capture runs ffmpeg for its videos; PNG frames need nothing more.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ffmpeg")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# What a Debian package holds beyond the install: compressed manual pages, the
# licence as the copyright file, a changelog.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianFiles.cmake)
set(CPACK_QUANDRIX_DOCDIR ${CMAKE_INSTALL_DOCDIR})
set(CPACK_QUANDRIX_MANDIR ${CMAKE_INSTALL_MANDIR})
include(CPack)
