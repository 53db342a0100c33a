#pragma once
// TLS over one connected, non-blocking socket, always as the client (also on
// an accepted data connection: in FTP the client starts TLS). Each step says
// what it needs from the socket; TSockets waits for it in the event loop, so
// the time-outs and Cancel bound every handshake, read and write.
#include <deque>
#include <memory>
#include <string>

namespace vollum {

// Settings shared by the connections of one session (OpenSSL's context),
// and the TLS sessions the server handed out for resuming. Under TLS 1.3 a
// server may take each ticket only once, so every data connection resumes
// with one not used before.
class TlsContext {
public:
    TlsContext();
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;
    void* Handle() const { return ctx_; }
    // Why the context could not be made; empty when it stands.
    const std::string& Problem() const { return problem_; }

    // A session received and not used yet (the caller owns it), or nullptr.
    void* TakeSession();
    // Keeps a session a connection received (takes ownership).
    void KeepSession(void* session);

private:
    static constexpr size_t kMostSessions = 8;
    void* ctx_ = nullptr;
    std::string problem_;
    std::deque<void*> sessions_;  // oldest first
};

// Closed: the peer's close_notify. Cut: the connection ended without one
// (a plain close, which anyone on the path can forge).
enum class TlsStep { Done, WantRead, WantWrite, Closed, Cut, Failed };

// The server certificate as the handshake found it.
struct TlsPeer {
    std::string fingerprint;  // SHA-256 of the DER form, 64 lowercase hex digits; empty without one
    bool verified = false;    // chains to a trusted root and names the host
    std::string problem;      // why not verified
    std::string protocol, cipher;
    // "CN=ftp.example, O=Example" and "2026-01-31 12:00:00 UTC"; empty without a certificate.
    std::string subject, issuer, validFrom, validUntil;
};

class TlsStream {
public:
    // host is the name (or address) the user gave: checked against the
    // certificate and sent as SNI when it is a name. A resumeFrom stream
    // offers that connection's session, which many servers require on data
    // connections.
    TlsStream(TlsContext& context, int fd, const std::string& host, const TlsStream* resumeFrom);
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    TlsStep Handshake();
    // Done with got > 0, or Closed, or Cut.
    TlsStep Read(char* buffer, int size, int& got);
    // Done with put > 0 (part of the bytes may have gone).
    TlsStep Write(const char* buffer, int size, int& put);
    // Sends close_notify; Done once it went out.
    TlsStep Shutdown();
    // Decrypted bytes OpenSSL holds that a Read returns without the socket.
    bool HasBuffered() const;

    TlsPeer Peer() const;
    // The failure of the last step that Failed, for messages.
    const std::string& Problem() const { return problem_; }

private:
    TlsStep StepResult(int rc, const char* what);
    void* ssl_ = nullptr;
    std::string problem_;
};

}  // namespace vollum
