# The suites of the pure modules (texture generator, XM loader, replay,
# channels, mixer, tube mesh, timelines, point cloud) cross-built for
# Windows, on GoogleTest built from Debian's sources (googletest). Run under
# Wine by the Linux build's test wine_pure_suites.
set(googletest_source /usr/src/googletest)
if(NOT EXISTS ${googletest_source}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are missing (Debian: googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${googletest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
endif()

add_library(quandrix_test_main STATIC support/test_main.cpp)
target_link_libraries(quandrix_test_main PUBLIC GTest::gtest)

quandrix_add_test(texgen_tests
  SOURCES texgen/noise_test.cpp texgen/operators_test.cpp texgen/machine_test.cpp texgen/builtin_scripts_test.cpp
  LIBS quandrix_texgen quandrix_data quandrix_texdump)
target_include_directories(texgen_tests SYSTEM PRIVATE ${STB_INCLUDE_DIR})

quandrix_add_test(music_tests
  SOURCES music/stream_test.cpp music/xm_loader_test.cpp music/xm_policy_test.cpp music/xm_real_files_test.cpp
  LIBS quandrix_music quandrix_xminfo quandrix_assets)

quandrix_add_test(music_replay_tests
  SOURCES music/replay_test.cpp music/channel_test.cpp music/mixer_test.cpp
  LIBS quandrix_music quandrix_xmrender quandrix_assets)

quandrix_add_test(scene_tests
  SOURCES scene/tube_mesh_test.cpp scene/timeline_test.cpp scene/point_cloud_test.cpp
  LIBS quandrix_scene quandrix_app quandrix_assets)

# The file writer's Win32 realisation: devices, standard streams, read-only
# targets and kept attributes.
quandrix_add_test(platform_write_file_tests
  SOURCES platform/write_file_test.cpp
  LIBS quandrix_platform)
