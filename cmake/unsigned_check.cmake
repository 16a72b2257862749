# Whether a launcher may be built without a publisher key.
#   vorn_unsigned_config_problem(<url> <key file> <allow unsigned> <out var>)
# sets <out var> to the reason it may not, or to "" when it may. Such a
# launcher takes every value of a configuration that travels over plain http
# as it arrives: package, micro-client shell, whether to run it elevated. Only
# a configuration server on this machine (127.0.0.1, localhost, [::1]) keeps a
# network in between out of it; anything else needs the key, or the explicit
# VORN_ALLOW_UNSIGNED.
function(vorn_unsigned_config_problem url key allow out)
  set(problem "")
  if(NOT key AND NOT allow AND url MATCHES "^[hH][tT][tT][pP]://(\\[[^]/]*\\]|[^/:?#]*)")
    string(TOLOWER "${CMAKE_MATCH_1}" host)
    if(NOT host STREQUAL "127.0.0.1" AND NOT host STREQUAL "localhost" AND NOT host STREQUAL "[::1]")
      string(CONCAT problem "VORN_CONFIG_URL ${url} is plain http to ${host}, and no VORN_PUBLISHER_KEY_FILE is given: "
                  "such a launcher installs and starts whatever anyone on the network between the player and "
                  "${host} writes into the configuration. Build with -DVORN_PUBLISHER_KEY_FILE=<publisher.pem> "
                  "and sign the configuration (publish-check --sign), or, knowingly, -DVORN_ALLOW_UNSIGNED=ON.")
    endif()
  endif()
  set(${out} "${problem}" PARENT_SCOPE)
endfunction()
