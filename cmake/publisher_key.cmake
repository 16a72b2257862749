# The publisher's public key built into a launcher executable.
#   vorn_publisher_key(<target> <PEM file>)
# writes <build>/<target>_publisher_key.h, which defines VORN_PUBLISHER_KEY_PEM
# as the PEM text, and has the target's app/main.cpp include it. The PEM is
# checked here, so a wrong file fails the configuration rather than every run.
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
endfunction()
