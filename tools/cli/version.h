#pragma once
// Where a program was built from. The build writes these at every build
// (cmake/SourceVersion.cmake), so a new commit shows without a new configure.

namespace cli {

// The project's version: project(... VERSION) in the top CMakeLists.txt.
extern const char* const kProjectVersion;
// The git commit of the source tree; "" when it was built from a tree that is
// no git checkout of its own (a release tarball, a Debian source package).
extern const char* const kSourceCommit;
// True when tracked files differed from that commit at build time.
extern const bool kSourceModified;

}  // namespace cli
