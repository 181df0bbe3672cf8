# One static library per folder: every .cpp below the folder belongs to it, so adding a file needs no
# change here. A folder without sources yet is an interface library.
function(tdl_library name)
  cmake_parse_arguments(ARG "PLATFORM_HEADERS" "" "DEPS;HEADER_FOLDERS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(${name} STATIC ${srcs})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${name} ${scope} ${PROJECT_SOURCE_DIR})
  if(ARG_PLATFORM_HEADERS)
    # A stand-in's headers carry the platform's own names (ntddk.h, windows.h, afx.h), included bare.
    target_include_directories(${name} ${scope} ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  # A stand-in split into sub-folders keeps its headers' bare names: each sub-folder is searched as well.
  foreach(folder ${ARG_HEADER_FOLDERS})
    target_include_directories(${name} ${scope} ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
  endforeach()
  target_link_libraries(${name} ${scope} ${ARG_DEPS} Threads::Threads)
endfunction()

# One GoogleTest binary per library: tests/<folder>/*.cpp.
function(tdl_test_suite name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tdl_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# One Google Benchmark program per .cpp under bench/<group>/.
function(tdl_benchmarks)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(src ${srcs})
    get_filename_component(base ${src} NAME_WE)
    add_executable(bench_${base} ${src})
    target_link_libraries(bench_${base} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
    # A short run under CTest keeps every benchmark building and working; numbers come from a release build.
    add_test(NAME bench_${base} COMMAND bench_${base} --benchmark_min_time=0.01)
    set_tests_properties(bench_${base} PROPERTIES LABELS bench TIMEOUT 600)
  endforeach()
endfunction()

# One libFuzzer target per .cpp under fuzz/; CTest runs each for TDL_FUZZ_SECONDS.
function(tdl_fuzzers)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(src ${srcs})
    get_filename_component(base ${src} NAME_WE)
    add_executable(fuzz_${base} ${src})
    target_link_libraries(fuzz_${base} PRIVATE ${ARG_DEPS})
    target_link_options(fuzz_${base} PRIVATE -fsanitize=fuzzer)
    set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${base})
    set(args -max_total_time=${TDL_FUZZ_SECONDS} -rss_limit_mb=4096 -timeout=30)
    if(EXISTS ${corpus})
      file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/corpus_${base})
      add_test(NAME fuzz_${base} COMMAND fuzz_${base} ${args} ${CMAKE_CURRENT_BINARY_DIR}/corpus_${base} ${corpus})
    else()
      add_test(NAME fuzz_${base} COMMAND fuzz_${base} ${args})
    endif()
    set_tests_properties(fuzz_${base} PROPERTIES LABELS fuzz TIMEOUT 1200)
  endforeach()
endfunction()

# Embeds files (PNG images of bitmaps and icons, raw resources) into a target at build time, byte for byte:
# <target>_embedded.h declares tdl::embedded::<file name as an identifier> and <that>_size for each file
# ("toolbar.png" gives toolbar_png and toolbar_png_size). Paths are relative to the calling folder.
function(tdl_embed_files target)
  cmake_parse_arguments(ARG "" "" "FILES" ${ARGN})
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/embedded)
  set(header ${out_dir}/${target}_embedded.h)
  set(source ${out_dir}/${target}_embedded.cpp)
  set(files "")
  foreach(file ${ARG_FILES})
    get_filename_component(path ${file} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND files ${path})
  endforeach()
  string(REPLACE ";" "|" file_list "${files}")
  add_custom_command(OUTPUT ${header} ${source}
                     COMMAND ${CMAKE_COMMAND} -DOUT_HEADER=${header} -DOUT_SOURCE=${source} "-DFILES=${file_list}"
                             -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFiles.cmake
                     DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/EmbedFiles.cmake
                     COMMENT "Embedding files into ${target}" VERBATIM)
  target_sources(${target} PRIVATE ${source} ${header})
  target_include_directories(${target} PRIVATE ${out_dir})
endfunction()

# In a sanitized build every program carries the suppressions of cmake/lsan.supp itself (LeakSanitizer asks the
# program's __lsan_default_suppressions, made from the file at build time), so that one started by hand reports
# no leak of the caches the system's libraries keep for the life of the process, while real leaks still fail it.
# Called once, after every folder has made its targets.
function(tdl_carry_lsan_suppressions)
  set(source ${PROJECT_BINARY_DIR}/lsan/LsanSuppressions.cpp)
  add_custom_command(OUTPUT ${source}
                     COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/cmake/lsan.supp -DOUT=${source}
                             -P ${PROJECT_SOURCE_DIR}/cmake/LsanSuppressions.cmake
                     DEPENDS ${PROJECT_SOURCE_DIR}/cmake/lsan.supp ${PROJECT_SOURCE_DIR}/cmake/LsanSuppressions.cmake
                     COMMENT "Making the LeakSanitizer suppressions" VERBATIM)
  add_library(tdl_lsan_suppressions OBJECT ${source})
  set(folders ${PROJECT_SOURCE_DIR})
  while(folders)
    list(POP_FRONT folders folder)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE")
        target_link_libraries(${target} PRIVATE tdl_lsan_suppressions)
      endif()
    endforeach()
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subfolders})
  endwhile()
endfunction()
