# velmora_library(<target> [QT] [DEPS <targets>...])
# One static library per folder, built from every .cpp in that folder.
# Includes are written from the repository root: "platform/rtl/Stream.h".
function(velmora_library target)
  cmake_parse_arguments(ARG "QT" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  file(GLOB forms CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  if(NOT sources)
    # A folder whose code has not arrived yet still names its dependencies.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    if(ARG_DEPS)
      target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    endif()
    return()
  endif()
  add_library(${target} STATIC ${sources} ${headers} ${forms})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  if(ARG_QT)
    set_target_properties(${target} PROPERTIES AUTOMOC ON AUTOUIC ON)
  endif()
  if(ARG_DEPS)
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# velmora_test(<target> [APP | NO_APPLICATION] [DEPS <targets>...])
# One GoogleTest program per test folder, built from every .cpp in it. APP
# runs the tests under the program's application object instead of a plain
# QApplication; NO_APPLICATION runs them without any application object, as
# a foreign program that loads one of our modules may.
function(velmora_test target)
  cmake_parse_arguments(ARG "APP;NO_APPLICATION" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${target} ${sources})
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  if(ARG_APP)
    target_link_libraries(${target} PRIVATE test_main_app)
  elseif(ARG_NO_APPLICATION)
    target_link_libraries(${target} PRIVATE test_main_noapp)
  else()
    target_link_libraries(${target} PRIVATE test_main)
  endif()
  target_link_libraries(${target} PRIVATE test_support ${ARG_DEPS} GTest::gtest GTest::gmock)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    TEST_PREFIX "${target}."
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60)
endfunction()
