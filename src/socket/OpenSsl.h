#pragma once
// OpenSSL, loaded when the first TLS connection needs it: a plain session
// never maps the libraries (they cost a run about 1.7 MB of memory, loaded
// or not). The calls keep OpenSSL's names and types.
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <string>

namespace vollum {

#define VOLLUM_OPENSSL_CALLS(X)                                                                                        \
    X(ASN1_TIME_to_tm)                                                                                                 \
    X(ERR_clear_error)                                                                                                 \
    X(ERR_error_string_n)                                                                                              \
    X(ERR_get_error)                                                                                                   \
    X(ERR_peek_error)                                                                                                  \
    X(EVP_sha256)                                                                                                      \
    X(SSL_CIPHER_get_name)                                                                                             \
    X(SSL_CTX_ctrl)                                                                                                    \
    X(SSL_CTX_free)                                                                                                    \
    X(SSL_CTX_get_ex_data)                                                                                             \
    X(SSL_CTX_new)                                                                                                     \
    X(SSL_CTX_sess_set_new_cb)                                                                                         \
    X(SSL_CTX_set_default_verify_paths)                                                                                \
    X(SSL_CTX_set_ex_data)                                                                                             \
    X(SSL_CTX_set_options)                                                                                             \
    X(SSL_CTX_set_verify)                                                                                              \
    X(SSL_SESSION_dup)                                                                                                 \
    X(SSL_SESSION_free)                                                                                                \
    X(SSL_connect)                                                                                                     \
    X(SSL_ctrl)                                                                                                        \
    X(SSL_free)                                                                                                        \
    X(SSL_get0_param)                                                                                                  \
    X(SSL_get1_peer_certificate)                                                                                       \
    X(SSL_get1_session)                                                                                                \
    X(SSL_get_SSL_CTX)                                                                                                 \
    X(SSL_get_current_cipher)                                                                                          \
    X(SSL_get_error)                                                                                                   \
    X(SSL_get_verify_result)                                                                                           \
    X(SSL_get_version)                                                                                                 \
    X(SSL_new)                                                                                                         \
    X(SSL_pending)                                                                                                     \
    X(SSL_read)                                                                                                        \
    X(SSL_set1_host)                                                                                                   \
    X(SSL_set_fd)                                                                                                      \
    X(SSL_set_session)                                                                                                 \
    X(SSL_shutdown)                                                                                                    \
    X(SSL_write)                                                                                                       \
    X(TLS_client_method)                                                                                               \
    X(X509_VERIFY_PARAM_set1_ip_asc)                                                                                   \
    X(X509_NAME_oneline)                                                                                               \
    X(X509_digest)                                                                                                     \
    X(X509_free)                                                                                                       \
    X(X509_get0_notAfter)                                                                                              \
    X(X509_get0_notBefore)                                                                                             \
    X(X509_get_issuer_name)                                                                                            \
    X(X509_get_subject_name)                                                                                           \
    X(X509_verify_cert_error_string)

struct OpenSsl {
#define VOLLUM_OPENSSL_POINTER(name) decltype(&::name) name = nullptr;
    VOLLUM_OPENSSL_CALLS(VOLLUM_OPENSSL_POINTER)
#undef VOLLUM_OPENSSL_POINTER
};

// The library's calls, loaded on the first use; nullptr (and why in
// problem) when this system has no usable libssl.so.3.
const OpenSsl* LoadOpenSsl(std::string& problem);

}  // namespace vollum
