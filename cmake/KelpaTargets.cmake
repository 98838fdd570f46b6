# Helpers shared by every folder's CMakeLists.

# Our own code builds warning-free.
function(kelpa_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# kelpa_library(name SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
function(kelpa_library name)
  cmake_parse_arguments(A "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_PUBLIC_LIBS} PRIVATE ${A_PRIVATE_LIBS})
  kelpa_warnings(${name})
endfunction()

# kelpa_program(name SOURCES ... LIBS ...): one of the four programs, placed in the program folder.
function(kelpa_program name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KELPA_PROGRAM_DIR})
  kelpa_warnings(${name})
  # The programs find each other in one folder, installed as in the build.
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# kelpa_gtest(name SOURCES ... [LIBS ...] [QT] [X11] [SERIAL] [TIMEOUT s])
#   QT:     links the common main that creates a QApplication (offscreen unless X11).
#   X11:    the test needs a real X server (test.sh starts Xvfb and sets DISPLAY).
#   SERIAL: the cases must not run in parallel with each other (shared program folder, windows).
# Every case becomes its own ctest test; each process gets a fresh HOME and XDG folders.
function(kelpa_gtest name)
  cmake_parse_arguments(A "QT;X11;SERIAL" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  if(A_QT)
    target_link_libraries(${name} PRIVATE kelpa_qt_test_main GTest::gtest Qt6::Widgets ${A_LIBS})
  else()
    target_link_libraries(${name} PRIVATE kelpa_test_main GTest::gtest ${A_LIBS})
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    KELPA_SOURCE_DIR="${CMAKE_SOURCE_DIR}" KELPA_PROGRAM_DIR="${KELPA_PROGRAM_DIR}")
  kelpa_warnings(${name})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  # Test discovery flattens list-valued properties, so ENVIRONMENT holds one variable only and
  # the Qt platform travels as a command-line argument (it also beats an exported
  # QT_QPA_PLATFORM).
  set(props ENVIRONMENT "KELPA_TEST_PROGRAM_DIR=${KELPA_PROGRAM_DIR}" TIMEOUT ${A_TIMEOUT})
  set(extra_args "")
  if(A_X11)
    set(extra_args -platform xcb)
  elseif(A_QT)
    set(extra_args -platform offscreen)
  endif()
  set(labels "")
  if(A_X11)
    list(APPEND labels x11)
  endif()
  if(A_SERIAL OR A_X11)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  if(labels)
    list(APPEND props LABELS "${labels}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    EXTRA_ARGS ${extra_args}
    PROPERTIES ${props})
endfunction()
