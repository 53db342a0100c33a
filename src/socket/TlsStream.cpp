#include "socket/TlsStream.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "socket/OpenSsl.h"

namespace vollum {

namespace {

// Set by the first context that loaded the library; every call below runs
// with a context (or a stream made from one) in hand.
const OpenSsl* api = nullptr;

SSL* Ssl(void* p) { return static_cast<SSL*>(p); }

// The oldest queued OpenSSL error as text, the queue emptied.
std::string QueuedError(const char* fallback) {
    const unsigned long code = api->ERR_get_error();
    api->ERR_clear_error();
    if (code == 0) return fallback;
    char text[256];
    api->ERR_error_string_n(code, text, sizeof text);
    return text;
}

// Every session the server hands out goes to the context's store.
int KeepNewSession(SSL* ssl, SSL_SESSION* session) {
    auto* context = static_cast<TlsContext*>(api->SSL_CTX_get_ex_data(api->SSL_get_SSL_CTX(ssl), 0));
    if (context == nullptr) return 0;
    context->KeepSession(session);
    return 1;
}

// "/C=DE/CN=host" as "C=DE, CN=host": a slash starts a field where a name and "=" follow.
std::string NameText(X509_NAME* name) {
    if (name == nullptr) return "";
    char line[1024];
    if (api->X509_NAME_oneline(name, line, sizeof line) == nullptr) return "";
    std::string in = line, out;
    for (size_t i = 0; i < in.size(); ++i) {
        const size_t eq = in.find('=', i + 1);
        const bool field = in[i] == '/' && eq != std::string::npos &&
                           in.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.",
                                                i + 1) == eq;
        if (field) out += i == 0 ? "" : ", ";
        else out += in[i];
    }
    return out;
}

std::string TimeText(const ASN1_TIME* time) {
    struct tm parts {};
    if (time == nullptr || api->ASN1_TIME_to_tm(time, &parts) != 1) return "";
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

bool IsAddressLiteral(const std::string& host) {
    unsigned char scratch[16];
    return ::inet_pton(AF_INET, host.c_str(), scratch) == 1 || ::inet_pton(AF_INET6, host.c_str(), scratch) == 1;
}

}  // namespace

TlsContext::TlsContext() {
    std::string why;
    if (api == nullptr) api = LoadOpenSsl(why);
    if (api == nullptr) {
        problem_ = why;
        return;
    }
    SSL_CTX* ctx = api->SSL_CTX_new(api->TLS_client_method());
    if (ctx == nullptr) {
        problem_ = QueuedError("TLS cannot be set up");
        return;
    }
    api->SSL_CTX_ctrl(ctx, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr);
    // The chain is checked during the handshake but decided on afterwards, so
    // that an unverified certificate can still match a pinned fingerprint.
    api->SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    api->SSL_CTX_set_default_verify_paths(ctx);
    api->SSL_CTX_ctrl(ctx, SSL_CTRL_MODE, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER, nullptr);
    api->SSL_CTX_ctrl(ctx, SSL_CTRL_SET_SESS_CACHE_MODE, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE,
                      nullptr);
    api->SSL_CTX_sess_set_new_cb(ctx, KeepNewSession);
    api->SSL_CTX_set_ex_data(ctx, 0, this);
    ctx_ = ctx;
}

TlsContext::~TlsContext() {
    for (void* session : sessions_) api->SSL_SESSION_free(static_cast<SSL_SESSION*>(session));
    if (ctx_ == nullptr) return;
    // A connection still holding the context must not reach this object.
    api->SSL_CTX_set_ex_data(static_cast<SSL_CTX*>(ctx_), 0, nullptr);
    api->SSL_CTX_free(static_cast<SSL_CTX*>(ctx_));
}

void* TlsContext::TakeSession() {
    if (sessions_.empty()) return nullptr;
    void* session = sessions_.back();
    sessions_.pop_back();
    return session;
}

void TlsContext::KeepSession(void* session) {
    sessions_.push_back(session);
    if (sessions_.size() <= kMostSessions) return;
    api->SSL_SESSION_free(static_cast<SSL_SESSION*>(sessions_.front()));
    sessions_.pop_front();
}

TlsStream::TlsStream(TlsContext& context, int fd, const std::string& host, const TlsStream* resumeFrom) {
    if (context.Handle() == nullptr) {
        problem_ = context.Problem();
        return;
    }
    SSL* ssl = api->SSL_new(static_cast<SSL_CTX*>(context.Handle()));
    if (ssl == nullptr) {
        problem_ = QueuedError("TLS cannot be set up");
        return;
    }
    api->SSL_set_fd(ssl, fd);
    if (IsAddressLiteral(host)) {
        api->X509_VERIFY_PARAM_set1_ip_asc(api->SSL_get0_param(ssl), host.c_str());
    } else if (!host.empty()) {
        api->SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name, const_cast<char*>(host.c_str()));
        api->SSL_set1_host(ssl, host.c_str());
    }
    if (resumeFrom != nullptr && resumeFrom->ssl_ != nullptr) {
        // A fresh ticket if there is one, else the connection's own session
        // (TLS 1.2 sessions may be resumed many times). Always a copy: OpenSSL
        // marks the session a connection holds as not resumable when that
        // connection ends without our close_notify or with an error (a
        // download ends at the server's close), and the stored ones may be
        // the control connection's own.
        auto* session = static_cast<SSL_SESSION*>(context.TakeSession());
        if (session == nullptr) session = api->SSL_get1_session(Ssl(resumeFrom->ssl_));
        if (session != nullptr) {
            SSL_SESSION* copy = api->SSL_SESSION_dup(session);
            api->SSL_SESSION_free(session);
            if (copy != nullptr) api->SSL_set_session(ssl, copy);
            api->SSL_SESSION_free(copy);
        }
    }
    ssl_ = ssl;
    api->ERR_clear_error();
}

TlsStream::~TlsStream() {
    if (ssl_ != nullptr) api->SSL_free(Ssl(ssl_));
}

TlsStep TlsStream::StepResult(int rc, const char* what) {
    const int err = api->SSL_get_error(Ssl(ssl_), rc);
    const int sysErr = errno;
    switch (err) {
        case SSL_ERROR_WANT_READ: return TlsStep::WantRead;
        case SSL_ERROR_WANT_WRITE: return TlsStep::WantWrite;
        case SSL_ERROR_ZERO_RETURN: return TlsStep::Closed;
        case SSL_ERROR_SYSCALL:
            if (api->ERR_peek_error() == 0) {
                problem_ = std::string(what) + ": " +
                           (sysErr != 0 ? std::strerror(sysErr) : "the connection ended without a TLS close");
                return rc == 0 && sysErr == 0 ? TlsStep::Cut : TlsStep::Failed;
            }
            break;
        case SSL_ERROR_SSL:
            if (ERR_GET_REASON(api->ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
                api->ERR_clear_error();
                problem_ = std::string(what) + ": the connection ended without a TLS close";
                return TlsStep::Cut;
            }
            break;
        default: break;
    }
    problem_ = std::string(what) + ": " + QueuedError("TLS error");
    return TlsStep::Failed;
}

TlsStep TlsStream::Handshake() {
    if (ssl_ == nullptr) return TlsStep::Failed;
    api->ERR_clear_error();
    errno = 0;
    const int rc = api->SSL_connect(Ssl(ssl_));
    if (rc == 1) return TlsStep::Done;
    const TlsStep step = StepResult(rc, "TLS handshake");
    if (step == TlsStep::Closed || step == TlsStep::Cut) {
        problem_ = "TLS handshake: the server closed the connection";
        return TlsStep::Failed;
    }
    return step;
}

TlsStep TlsStream::Read(char* buffer, int size, int& got) {
    got = 0;
    if (ssl_ == nullptr) return TlsStep::Failed;
    api->ERR_clear_error();
    errno = 0;
    const int rc = api->SSL_read(Ssl(ssl_), buffer, size);
    if (rc > 0) {
        got = rc;
        return TlsStep::Done;
    }
    return StepResult(rc, "TLS read");
}

TlsStep TlsStream::Write(const char* buffer, int size, int& put) {
    put = 0;
    if (ssl_ == nullptr) return TlsStep::Failed;
    if (size <= 0) return TlsStep::Done;
    api->ERR_clear_error();
    errno = 0;
    const int rc = api->SSL_write(Ssl(ssl_), buffer, size);
    if (rc > 0) {
        put = rc;
        return TlsStep::Done;
    }
    const TlsStep step = StepResult(rc, "TLS write");
    return step == TlsStep::Closed || step == TlsStep::Cut ? TlsStep::Failed : step;
}

TlsStep TlsStream::Shutdown() {
    if (ssl_ == nullptr) return TlsStep::Failed;
    api->ERR_clear_error();
    errno = 0;
    // 0: our close_notify went out and the peer's is still to come (read for it).
    const int rc = api->SSL_shutdown(Ssl(ssl_));
    if (rc >= 0) return TlsStep::Done;
    const TlsStep step = StepResult(rc, "TLS close");
    return step == TlsStep::Closed || step == TlsStep::Cut ? TlsStep::Failed : step;
}

bool TlsStream::HasBuffered() const { return ssl_ != nullptr && api->SSL_pending(Ssl(ssl_)) > 0; }

TlsPeer TlsStream::Peer() const {
    TlsPeer peer;
    if (ssl_ == nullptr) return peer;
    SSL* ssl = Ssl(ssl_);
    peer.protocol = api->SSL_get_version(ssl);
    if (const char* cipher = api->SSL_CIPHER_get_name(api->SSL_get_current_cipher(ssl))) peer.cipher = cipher;
    X509* cert = api->SSL_get1_peer_certificate(ssl);
    if (cert == nullptr) {
        peer.problem = "the server sent no certificate";
        return peer;
    }
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (api->X509_digest(cert, api->EVP_sha256(), md, &len) == 1) {
        static const char hex[] = "0123456789abcdef";
        for (unsigned int i = 0; i < len; ++i) {
            peer.fingerprint += hex[md[i] >> 4];
            peer.fingerprint += hex[md[i] & 15];
        }
    }
    peer.subject = NameText(api->X509_get_subject_name(cert));
    peer.issuer = NameText(api->X509_get_issuer_name(cert));
    peer.validFrom = TimeText(api->X509_get0_notBefore(cert));
    peer.validUntil = TimeText(api->X509_get0_notAfter(cert));
    api->X509_free(cert);
    const long result = api->SSL_get_verify_result(ssl);
    peer.verified = result == X509_V_OK;
    if (!peer.verified) peer.problem = api->X509_verify_cert_error_string(result);
    return peer;
}

}  // namespace vollum
