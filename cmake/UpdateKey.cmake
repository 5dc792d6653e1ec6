# The publisher's update key as the build takes it: a PEM public key of the one form the launcher
# reads, an uncompressed ECDSA P-256 point. Used by the top-level CMakeLists.txt and by its test
# (tests/native/update_key_check.cmake), in script mode too.
#
#   kelvo_read_update_key(FILE PEM_VAR ERROR_VAR)
#     PEM_VAR: the file's text without carriage returns; ERROR_VAR: empty when the key is usable,
#     otherwise one sentence that says what the file holds and which form is needed.

# The base64 of the DER each kind of key begins with, as openssl writes it.
set(KELVO_KEY_P256 "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE")
set(KELVO_KEY_KINDS
    "MDkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDIgAC=a compressed P-256 key"
    "MDkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDIgAD=a compressed P-256 key"
    "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAE=a P-384 key"
    "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAC=a compressed P-384 key"
    "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAD=a compressed P-384 key"
    "MIGbMBAGByqGSM49AgEGBSuBBAAjA4GGAAQ=a P-521 key"
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8A=an RSA key"
    "MIIBojANBgkqhkiG9w0BAQEFAAOCAY8A=an RSA key"
    "MIICIjANBgkqhkiG9w0BAQEFAAOCAg8A=an RSA key"
    "MCowBQYDK2VwAyEA=an Ed25519 key"
    "MEMwBQYDK2VxAzoA=an Ed448 key")

function(kelvo_read_update_key file pem_var error_var)
  set(needed "the launcher reads only an uncompressed ECDSA P-256 public key, as scripts/make-update-key "
             "makes it (openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256, then openssl pkey -pubout)")
  string(CONCAT needed ${needed})
  set(${pem_var} "" PARENT_SCOPE)
  if(NOT EXISTS "${file}")
    set(${error_var} "KELVO_UPDATE_KEY: no file ${file}" PARENT_SCOPE)
    return()
  endif()
  file(READ "${file}" pem)
  string(REPLACE "\r" "" pem "${pem}")
  # The file is shipped inside every kelvo.exe: the private half must never get there.
  if(pem MATCHES "PRIVATE")
    set(${error_var} "KELVO_UPDATE_KEY names a private key; give the public half (update-public.pem)" PARENT_SCOPE)
    return()
  endif()
  if(NOT pem MATCHES "^-----BEGIN PUBLIC KEY-----\n([A-Za-z0-9+/=\n ]*)-----END PUBLIC KEY-----\n*$")
    set(${error_var} "KELVO_UPDATE_KEY: ${file} is not a PEM public key; ${needed}" PARENT_SCOPE)
    return()
  endif()
  string(REGEX REPLACE "[\n ]" "" body "${CMAKE_MATCH_1}")
  # 91 bytes of DER: the fixed 27 up to the point's 0x04, then X and Y.
  if(NOT body MATCHES "^${KELVO_KEY_P256}[A-Za-z0-9+/]*=*$")
    set(kind "a key of another kind")
    foreach(entry IN LISTS KELVO_KEY_KINDS)
      string(FIND "${entry}" "=" at)
      string(SUBSTRING "${entry}" 0 ${at} prefix)
      math(EXPR at "${at} + 1")
      string(SUBSTRING "${entry}" ${at} -1 name)
      string(FIND "${body}" "${prefix}" found)
      if(found EQUAL 0)
        set(kind "${name}")
        break()
      endif()
    endforeach()
    set(${error_var} "KELVO_UPDATE_KEY: ${file} holds ${kind}; ${needed}" PARENT_SCOPE)
    return()
  endif()
  string(LENGTH "${body}" length)
  if(NOT length EQUAL 124)
    set(${error_var} "KELVO_UPDATE_KEY: ${file} is cut or padded (${length} base64 characters, not 124); ${needed}"
        PARENT_SCOPE)
    return()
  endif()
  set(${pem_var} "${pem}" PARENT_SCOPE)
  set(${error_var} "" PARENT_SCOPE)
endfunction()
