# Shared build settings for every korvex target.

set(KORVEX_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # GCC's loop pragmas (ivdep) are hints that clang may ignore.
  list(APPEND KORVEX_WARNINGS -Wno-unknown-pragmas)
endif()
# GCC 12 at -O3 reports overlapping memcpy inside libstdc++'s std::string concatenation that
# cannot happen (a known false positive of GCC 12's -Wrestrict), which stops optimised builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND KORVEX_WARNINGS -Wno-restrict)
endif()

# Floating-point contraction is allowed: with FMA instructions (-march=native on current x86)
# multiply-adds are fused, which is faster (10-20% on a PDE step) and rounds once instead of
# twice. Optimised results may differ from generic or sanitizer builds in the last bits;
# tests allow for that where an expression may be fused.
add_compile_options(-ffp-contract=fast)

if(KORVEX_SANITIZE)
  set(KORVEX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${KORVEX_SANITIZER_FLAGS})
  add_link_options(${KORVEX_SANITIZER_FLAGS})
endif()

# The thread-checking build (ThreadSanitizer) of the concurrency test, `make test`.
if(KORVEX_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -O1)
  add_link_options(-fsanitize=thread)
endif()

# The fuzz build instruments every library for libFuzzer's coverage, under ASan and UBSan.
if(KORVEX_FUZZ)
  set(KORVEX_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${KORVEX_FUZZ_FLAGS})
  add_link_options(-fsanitize=address,undefined)
endif()

if(KORVEX_NATIVE AND CMAKE_BUILD_TYPE MATCHES "Release|RelWithDebInfo")
  add_compile_options(-march=native)
endif()
set(CMAKE_CXX_FLAGS_RELEASE "-O3 -DNDEBUG")

set(KORVEX_EXPORT_TARGETS "" CACHE INTERNAL "")

# korvex_warnings(target): our own code builds warning-free.
function(korvex_warnings target)
  target_compile_options(${target} PRIVATE ${KORVEX_WARNINGS})
endfunction()

# korvex_library(name EXPORT_NAME export SOURCES ... LINKS ...)
# A shared library with hidden visibility; the include root is the folder above the
# library's own folder (Foundation/ or Library/), so includes read "core/error.h".
function(korvex_library name)
  cmake_parse_arguments(ARG "" "EXPORT_NAME;INCLUDE_ROOT" "SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  if(NOT ARG_INCLUDE_ROOT)
    get_filename_component(ARG_INCLUDE_ROOT ${CMAKE_CURRENT_SOURCE_DIR} DIRECTORY)
  endif()
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${ARG_INCLUDE_ROOT}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/korvex>)
  target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  korvex_warnings(${name})
  if(ARG_EXPORT_NAME)
    set_target_properties(${name} PROPERTIES EXPORT_NAME ${ARG_EXPORT_NAME})
  endif()
  set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  # Installed libraries find their sibling libraries in their own folder, also when a
  # program links only some of them directly (the linker drops unused ones with --as-needed).
  set_target_properties(${name} PROPERTIES INSTALL_RPATH "$ORIGIN")
  korvex_export(${name})
endfunction()

# korvex_export(target): installs the target and adds it to the exported package.
function(korvex_export target)
  install(TARGETS ${target} EXPORT korvexTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(KORVEX_EXPORT_TARGETS ${KORVEX_EXPORT_TARGETS} ${target} CACHE INTERNAL "")
endfunction()

# korvex_install_headers(folder): installs the public headers of a source folder, keeping
# the path below Foundation/ or Library/.
function(korvex_install_headers)
  get_filename_component(root ${CMAKE_CURRENT_SOURCE_DIR} DIRECTORY)
  file(RELATIVE_PATH rel ${root} ${CMAKE_CURRENT_SOURCE_DIR})
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvex/${rel}
    FILES_MATCHING PATTERN "*.h")
endfunction()

function(korvex_install_package)
  include(CMakePackageConfigHelpers)
  set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/korvex)
  install(EXPORT korvexTargets NAMESPACE korvex:: DESTINATION ${cmake_dir})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/korvexConfig.cmake.in
    ${PROJECT_BINARY_DIR}/korvexConfig.cmake INSTALL_DESTINATION ${cmake_dir})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/korvexConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/korvexConfig.cmake ${PROJECT_BINARY_DIR}/korvexConfigVersion.cmake
    DESTINATION ${cmake_dir})
endfunction()
