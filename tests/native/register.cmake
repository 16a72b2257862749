# The native sanitizer checks as CTest tests of the mingw build (included from
# tests/CMakeLists.txt). Their commands are a host script, not a target, so
# CTest runs them directly rather than under wine. The native build is a
# fixture of its own so that "-R" picks it up with any of the checks.
include(${CMAKE_CURRENT_LIST_DIR}/fuzz_targets.cmake)
set(vorn_native_checks ${CMAKE_SOURCE_DIR}/scripts/native-checks)
set(vorn_native_env VORN_NATIVE_DIR=${CMAKE_BINARY_DIR}/native-checks)

add_test(NAME native_build COMMAND ${vorn_native_checks} build)
set_tests_properties(native_build PROPERTIES FIXTURES_SETUP native_checks
                     ENVIRONMENT "${vorn_native_env}" TIMEOUT 1200)

add_test(NAME native_unit_tests COMMAND ${vorn_native_checks} unit)
set_tests_properties(native_unit_tests PROPERTIES FIXTURES_REQUIRED native_checks
                     ENVIRONMENT "${vorn_native_env}" TIMEOUT 300)

# Each run is bounded by VORN_FUZZ_SECONDS (20 s unless set); one at a time,
# as the fuzzers use a whole core each.
foreach(target IN LISTS VORN_FUZZ_TARGETS)
  add_test(NAME fuzz_${target} COMMAND ${vorn_native_checks} fuzz ${target})
  set_tests_properties(fuzz_${target} PROPERTIES FIXTURES_REQUIRED native_checks
                       ENVIRONMENT "${vorn_native_env}" RESOURCE_LOCK fuzz TIMEOUT 900)
endforeach()
