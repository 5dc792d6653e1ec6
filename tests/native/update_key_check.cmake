# The build's check of KELVO_UPDATE_KEY on each kind of key openssl makes: only the uncompressed
# P-256 public key passes, and each refusal says what the file holds and which form is needed.
#   cmake -DKELVO_SOURCE=... -DWORK=... -P update_key_check.cmake
cmake_minimum_required(VERSION 3.25)
include(${KELVO_SOURCE}/cmake/UpdateKey.cmake)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(openssl)
  execute_process(COMMAND openssl ${ARGN} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "openssl ${ARGN} failed")
  endif()
endfunction()
openssl(genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out ${WORK}/p256-private.pem)
openssl(pkey -in ${WORK}/p256-private.pem -pubout -out ${WORK}/p256.pem)
openssl(ec -in ${WORK}/p256-private.pem -pubout -conv_form compressed -out ${WORK}/p256-compressed.pem)
openssl(genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out ${WORK}/p384-private.pem)
openssl(pkey -in ${WORK}/p384-private.pem -pubout -out ${WORK}/p384.pem)
openssl(genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out ${WORK}/rsa-private.pem)
openssl(pkey -in ${WORK}/rsa-private.pem -pubout -out ${WORK}/rsa.pem)
openssl(genpkey -algorithm ED25519 -out ${WORK}/ed25519-private.pem)
openssl(pkey -in ${WORK}/ed25519-private.pem -pubout -out ${WORK}/ed25519.pem)
file(READ ${WORK}/p256.pem pem)
string(REPLACE "\n" "\r\n" crlf "${pem}")
file(WRITE ${WORK}/p256-crlf.pem "${crlf}")
string(REGEX REPLACE "\n[A-Za-z0-9+/]+=*\n-----END" "\n-----END" cut "${pem}")
file(WRITE ${WORK}/p256-cut.pem "${cut}")
file(WRITE ${WORK}/text.pem "a public key\n")

# file | what the refusal must say (empty: accepted)
set(cases
    "p256.pem|"
    "p256-crlf.pem|"
    "p256-compressed.pem|holds a compressed P-256 key"
    "p384.pem|holds a P-384 key"
    "rsa.pem|holds an RSA key"
    "ed25519.pem|holds an Ed25519 key"
    "p256-private.pem|names a private key"
    "p256-cut.pem|is cut or padded"
    "text.pem|is not a PEM public key"
    "missing.pem|no file")
set(failures 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(LENGTH parts n)
  set(want "")
  if(n GREATER 1)
    list(GET parts 1 want)
  endif()
  kelvo_read_update_key(${WORK}/${name} pem error)
  if(want STREQUAL "")
    if(error OR NOT pem MATCHES "BEGIN PUBLIC KEY")
      message(SEND_ERROR "${name}: refused: ${error}")
    endif()
  elseif(NOT error MATCHES "${want}" OR (NOT want MATCHES "no file|private" AND NOT error MATCHES "uncompressed ECDSA P-256")
         OR pem)
    message(SEND_ERROR "${name}: expected '${want}' and the form needed, got '${error}'")
  else()
    message(STATUS "${name}: ${error}")
  endif()
endforeach()
