# One warning list, applied per target; the tree is kept at zero warnings.
function(quorvel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# A project library: its sources listed one by one by its folder (no globbing, so a missing or renamed
# file is a build error). Headers are included by their path under src/, but the include root of each
# library holds only a link to its own folder (build/include/<target>/chart/qt -> src/chart/qt), and a
# target sees the roots of the libraries it links: a header of a library that is no dependency is not
# found, so an include against the layers does not compile, a call does not link.
function(quorvel_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "quorvel_library(${target}): no SOURCES listed")
  endif()
  add_library(${target} STATIC ${ARG_SOURCES})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  quorvel_warnings(${target})
endfunction()

# A GoogleTest or Qt Test executable registered with CTest. FILTER leaves out the GoogleTest cases that
# only a wrapper script runs (a negative --gtest_filter pattern).
function(quorvel_test target)
  cmake_parse_arguments(ARG "QTTEST" "FILTER" "SOURCES;DEPS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS})
  quorvel_warnings(${target})
  if(ARG_QTTEST)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  else()
    target_link_libraries(${target} PRIVATE GTest::gtest_main)
    if(ARG_FILTER)
      set(filter TEST_FILTER ${ARG_FILTER})
    endif()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 ${filter}
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# Installs a program to bin/ (or to DESTINATION). A stripped install (cpack, cmake --install --strip)
# also drops the compiler's .comment and .note sections, as Debian's own packaging does; the build id
# stays.
function(quorvel_install_program target)
  cmake_parse_arguments(ARG "" "DESTINATION" "" ${ARGN})
  if(NOT ARG_DESTINATION)
    set(ARG_DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${ARG_DESTINATION})
  set(file "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${ARG_DESTINATION}/$<TARGET_FILE_NAME:${target}>")
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note \"${file}\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()")
endfunction()
