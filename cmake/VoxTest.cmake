# Sanitizer settings of every test (and the programs the tests start): leak
# reports of code outside the console are suppressed as listed in
# scripts/sanitizers/lsan.supp; any other finding fails the test.
set(VOX_SANITIZER_TEST_ENV
  "ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=0:fast_unwind_on_malloc=0"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/scripts/sanitizers/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=${PROJECT_SOURCE_DIR}/scripts/sanitizers/ubsan.supp")

# vox_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One test executable per class or window under test; every test runs with the
# offscreen platform so windows can be driven without a display.
function(vox_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE vox_testsupport Qt6::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false")
  if(VOX_SANITIZE)
    # Instrumented code runs a few times slower; every finding fails the test.
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")
    list(APPEND env ${VOX_SANITIZER_TEST_ENV})
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
endfunction()

# vox_add_test_dir(LIBS lib1 lib2): every tst_*.cpp of the calling folder
# becomes one test executable linked with the given libraries.
function(vox_add_test_dir)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(src ${sources})
    get_filename_component(base ${src} NAME_WE)
    string(REGEX REPLACE "^tst_" "test_" name ${base})
    vox_add_test(${name} SOURCES ${src} LIBS ${T_LIBS})
  endforeach()
endfunction()

# vox_add_library(name SOURCES a.cpp a.h res.qrc DEPS ...): a subsystem
# library made of the listed files of the calling folder; without sources, an
# interface library that only carries its dependencies.
function(vox_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  if(L_SOURCES)
    add_library(${name} STATIC ${L_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/..)
    target_link_libraries(${name} PUBLIC ${L_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/..)
    target_link_libraries(${name} INTERFACE ${L_DEPS})
  endif()
endfunction()
