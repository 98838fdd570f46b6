# Helpers shared by every folder's CMakeLists.

# Our own code builds warning-free: our scripts (test.sh) stop on any warning with
# KELPA_WERROR; a packager's build with another compiler only reports them.
function(kelpa_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KELPA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kelpa_find_package(Package DEBIAN debian-packages... [COMPONENTS ...])
#   find_package that stops the configure step when the package (or one of its components) is
#   missing, naming the Debian packages that bring it (tools/setup.sh installs them all).
macro(kelpa_find_package package)
  cmake_parse_arguments(KFP "" "" "DEBIAN;COMPONENTS" ${ARGN})
  if(KFP_COMPONENTS)
    find_package(${package} COMPONENTS ${KFP_COMPONENTS})
  else()
    find_package(${package})
  endif()
  if(NOT ${package}_FOUND)
    string(REPLACE ";" " " kfp_what "${package} ${KFP_COMPONENTS}")
    string(REPLACE ";" " " kfp_debian "${KFP_DEBIAN}")
    message(FATAL_ERROR "Kelpa needs ${kfp_what}, which was not found: install the Debian "
      "packages ${kfp_debian} (tools/setup.sh installs everything of tools/deb-packages.txt)")
  endif()
endmacro()

# kelpa_library(name [QT_FREE] SOURCES ... [HEADERS ...] [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
#   Exports only its own headers, under their paths from the source root
#   (#include "engine/TOBRINEngine.h"): the .h files among SOURCES and HEADERS and the .h beside
#   each .cpp of SOURCES. Its own sources also see every other header of its folder. A library
#   that uses another's headers links it (PUBLIC_LIBS when its own headers include them).
#   QT_FREE: neither it nor what it links may use Qt (checked by the layering test and here).
function(kelpa_library name)
  cmake_parse_arguments(A "QT_FREE" "" "SOURCES;HEADERS;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  # The core-only build has no Qt, so whatever it builds must say so, for the layering test.
  if(KELPA_CORE_ONLY AND NOT A_QT_FREE)
    message(FATAL_ERROR "${name} is built without Qt (KELPA_CORE_ONLY) but is not marked QT_FREE")
  endif()
  add_library(${name} STATIC ${A_SOURCES} ${A_HEADERS})
  set(public_dir ${CMAKE_BINARY_DIR}/kelpa-include/${name})
  set(private_dir ${CMAKE_BINARY_DIR}/kelpa-include-private/${name})
  file(REMOVE_RECURSE ${public_dir} ${private_dir})
  set(public_headers "")
  foreach(src IN LISTS A_SOURCES A_HEADERS)
    get_filename_component(abs ${src} ABSOLUTE)
    if(abs MATCHES "\\.h$")
      list(APPEND public_headers ${abs})
    elseif(abs MATCHES "\\.cpp$")
      string(REGEX REPLACE "\\.cpp$" ".h" header ${abs})
      if(EXISTS ${header})
        list(APPEND public_headers ${header})
      endif()
    endif()
  endforeach()
  file(GLOB folder_headers ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.inc)
  foreach(kind public private)
    if(kind STREQUAL "public")
      set(headers ${public_headers})
      set(dir ${public_dir})
    else()
      set(headers ${folder_headers})
      set(dir ${private_dir})
    endif()
    list(REMOVE_DUPLICATES headers)
    foreach(header IN LISTS headers)
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${header})
      if(rel MATCHES "^\\.\\.")
        continue()  # generated in the build tree
      endif()
      get_filename_component(rel_dir ${rel} DIRECTORY)
      file(MAKE_DIRECTORY ${dir}/${rel_dir})
      file(CREATE_LINK ${header} ${dir}/${rel} SYMBOLIC)
    endforeach()
  endforeach()
  file(MAKE_DIRECTORY ${public_dir} ${private_dir})
  target_include_directories(${name} PUBLIC ${public_dir} PRIVATE ${private_dir})
  target_link_libraries(${name} PUBLIC ${A_PUBLIC_LIBS} PRIVATE ${A_PRIVATE_LIBS})
  kelpa_warnings(${name})
  if(A_QT_FREE)
    foreach(lib IN LISTS A_PUBLIC_LIBS A_PRIVATE_LIBS)
      if(lib MATCHES "^Qt6::")
        message(FATAL_ERROR "${name} is Qt-free but links ${lib}")
      endif()
    endforeach()
    set_property(GLOBAL APPEND PROPERTY KELPA_QT_FREE_LIBRARIES ${name})
  endif()
  # For the layering test: every library's own sources and headers.
  set(files "")
  set(checked ${A_SOURCES} ${A_HEADERS} ${public_headers})
  if(NOT A_QT_FREE)
    # A Qt-free library of a folder shared with others answers for its own files only.
    list(APPEND checked ${folder_headers})
  endif()
  foreach(f IN LISTS checked)
    get_filename_component(abs ${f} ABSOLUTE)
    if(abs MATCHES "^${CMAKE_SOURCE_DIR}/" AND EXISTS ${abs})
      list(APPEND files ${abs})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES files)
  set_property(GLOBAL APPEND PROPERTY KELPA_LIBRARIES ${name})
  set_property(GLOBAL PROPERTY KELPA_FILES_${name} ${files})
  set_property(GLOBAL PROPERTY KELPA_LINKS_${name} ${A_PUBLIC_LIBS} ${A_PRIVATE_LIBS})
endfunction()

# kelpa_program(name SOURCES ... LIBS ...): one of the four programs, placed in the program folder.
function(kelpa_program name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  set_property(GLOBAL APPEND PROPERTY KELPA_PROGRAMS ${name})
  set_property(GLOBAL PROPERTY KELPA_LINKS_${name} ${A_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KELPA_PROGRAM_DIR})
  kelpa_warnings(${name})
  # The programs find each other in one folder, installed as in the build.
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# kelpa_check_links(): called once everything is added. A library or program that links one
# this configuration does not build stops the configure step, instead of being left out or
# failing only when it is linked.
function(kelpa_check_links)
  get_property(libraries GLOBAL PROPERTY KELPA_LIBRARIES)
  get_property(programs GLOBAL PROPERTY KELPA_PROGRAMS)
  set(missing "")
  foreach(name IN LISTS libraries programs)
    get_property(links GLOBAL PROPERTY KELPA_LINKS_${name})
    foreach(lib IN LISTS links)
      if(NOT TARGET ${lib})
        list(APPEND missing "${name} links ${lib}")
      endif()
    endforeach()
  endforeach()
  if(missing)
    string(REPLACE ";" "\n  " text "${missing}")
    message(FATAL_ERROR "Libraries this configuration does not build:\n  ${text}")
  endif()
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
    # Every window test may answer the prompts from a script.
    target_link_libraries(${name} PRIVATE kelpa_test_prompter)
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
