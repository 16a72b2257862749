# cmake -DTOP=<source> [-DTOOLCHAIN=<file> -DWORK=<scratch folder>] -P unsigned_build_test.cmake
cmake_minimum_required(VERSION 3.20)
# Which configurations may be built without a publisher key: a table of
# rows for the rule, then one real configure of the launcher that must stop.
include(${TOP}/cmake/unsigned_check.cmake)
set(failures 0)
# url | key file | allow | refused?
set(rows
  "http://127.0.0.1:8080/pkg/vorn_install_cfg.ini||OFF|no"
  "http://localhost/pkg/vorn_install_cfg.ini||OFF|no"
  "HTTP://LocalHost:81/pkg/vorn_install_cfg.ini||OFF|no"
  "http://[::1]:8080/pkg/vorn_install_cfg.ini||OFF|no"
  "https://games.example/pkg/vorn_install_cfg.ini||OFF|no"
  "http://games.example/pkg/vorn_install_cfg.ini||OFF|yes"
  "http://games.example:8080/pkg/vorn_install_cfg.ini||OFF|yes"
  "http://127.0.0.2/pkg/vorn_install_cfg.ini||OFF|yes"
  "http://127.0.0.1.games.example/pkg/vorn_install_cfg.ini||OFF|yes"
  "http://localhost.games.example/pkg/vorn_install_cfg.ini||OFF|yes"
  "http://games.example/pkg/vorn_install_cfg.ini|/keys/publisher.pem|OFF|no"
  "http://games.example/pkg/vorn_install_cfg.ini||ON|no")
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 url)
  list(GET fields 1 key)
  list(GET fields 2 allow)
  list(GET fields 3 refused)
  vorn_unsigned_config_problem("${url}" "${key}" "${allow}" problem)
  if(refused STREQUAL "yes" AND NOT problem MATCHES "is plain http to .* no VORN_PUBLISHER_KEY_FILE is given")
    message("FAIL: ${url} key='${key}' allow=${allow} should be refused, got '${problem}'")
    math(EXPR failures "${failures} + 1")
  elseif(refused STREQUAL "no" AND problem)
    message("FAIL: ${url} key='${key}' allow=${allow} should build, got '${problem}'")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

if(TOOLCHAIN)
  file(REMOVE_RECURSE ${WORK})
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${TOP} -B ${WORK} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
                          -DVORN_CONFIG_URL=http://games.example/pkg/vorn_install_cfg.ini
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  file(REMOVE_RECURSE ${WORK})
  if(rc EQUAL 0 OR NOT err MATCHES "VORN_CONFIG_URL http://games.example/pkg/vorn_install_cfg.ini is plain http")
    message("FAIL: configuring an unsigned launcher for http://games.example went through (rc ${rc}): ${err}")
    math(EXPR failures "${failures} + 1")
  endif()
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} failure(s)")
endif()
message("unsigned builds: all checks passed")
