# The publisher's public key built into a launcher executable.
#   vorn_publisher_key(<target> <PEM file> [<what it is for>])
# writes <build>/<target>_publisher_key.h, which defines VORN_PUBLISHER_KEY_PEM
# as the PEM text, and has the target's app/main.cpp include it. The PEM is
# checked here, so a wrong file fails the configuration rather than every run.
# The configure output names the executable, the key file and the key's
# SHA-256 fingerprint (the one publish-check prints when it signs).
function(vorn_publisher_key target pem)
  if(NOT EXISTS "${pem}")
    message(FATAL_ERROR "publisher key file not found: ${pem}")
  endif()
  file(READ "${pem}" text)
  if(NOT text MATCHES "-----BEGIN PUBLIC KEY-----[A-Za-z0-9+/=\r\n]+-----END PUBLIC KEY-----")
    message(FATAL_ERROR "${pem} is not a PEM public key (openssl ec -in publisher.key -pubout)")
  endif()
  string(REGEX MATCH "-----BEGIN PUBLIC KEY-----[A-Za-z0-9+/=\r\n]+-----END PUBLIC KEY-----" text "${text}")
  string(REPLACE "\r" "" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  set(header ${CMAKE_BINARY_DIR}/${target}_publisher_key.h)
  file(CONFIGURE OUTPUT ${header} CONTENT
       "// Generated from @pem@; do not edit.\n#define VORN_PUBLISHER_KEY_PEM \"@text@\\n\"\n" @ONLY)
  target_compile_definitions(${target} PRIVATE VORN_PUBLISHER_KEY_HEADER="${header}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
  vorn_key_fingerprint("${pem}" fingerprint)
  message(STATUS "${target}.exe carries the publisher key ${pem} (SHA-256 of its public half: ${fingerprint})${ARGN}")
endfunction()

# The SHA-256 of the public key in DER, as
#   openssl pkey -pubin -in <pem> -outform DER | sha256sum
# prints it.
function(vorn_key_fingerprint pem out)
  find_program(VORN_OPENSSL openssl)
  set(der ${CMAKE_BINARY_DIR}/CMakeFiles/publisher_key_fingerprint.der)
  set(result 1)
  if(VORN_OPENSSL)
    execute_process(COMMAND ${VORN_OPENSSL} pkey -pubin -in ${pem} -outform DER -out ${der}
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(result EQUAL 0)
    file(SHA256 ${der} fingerprint)
    file(REMOVE ${der})
  else()
    set(fingerprint "unknown: no openssl to read the key")
  endif()
  set(${out} "${fingerprint}" PARENT_SCOPE)
endfunction()
