# zb_add_test(NAME name SOURCES a.cpp ... LIBS lib ...)
# Builds one Qt Test executable and registers it with CTest. Every test runs
# offscreen, with its own settings folder, so no display or user profile is touched, and no
# server asks the real router of the machine to open a port (ZB_NO_ROUTER_SEARCH).
function(zb_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test zbtestsupport ${T_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE
    ZB_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    ZB_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZB_NO_ROUTER_SEARCH=1;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config/${T_NAME};QT_LOGGING_RULES=qt.multimedia*=false")
endfunction()
