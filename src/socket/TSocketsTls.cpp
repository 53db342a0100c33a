// The TLS half of TSockets: the handshake and the protected send, receive,
// peek and close, each waiting in the event loop like the plain calls.
#include <sys/socket.h>

#include <algorithm>

#include "socket/ErrorTable.h"
#include "socket/TSockets.h"

namespace vollum {

namespace {
constexpr int kTlsPiece = 16384;  // one TLS record's worth of plain text
// What a closing transfer reads and drops before giving up on the server's close.
constexpr int kMostDrainPieces = 1024;
}  // namespace

void TSockets::DropTls() {
    tls_.reset();
    tlsIn_.clear();
    tlsCut_ = false;
}

bool TSockets::WaitTls(TlsStep step) {
    return WaitReady(FSocket, step == TlsStep::WantWrite ? WaitFor::Write : WaitFor::Read) == CallResult::Ok;
}

bool TSockets::StartTls(TlsContext& context, const std::string& host, const TlsStream* resumeFrom) {
    tlsProblem_.clear();
    if (FSocket < 0) {
        tlsProblem_ = "not connected";
        return false;
    }
    auto stream = std::make_unique<TlsStream>(context, FSocket, host, resumeFrom);
    for (;;) {
        const TlsStep step = stream->Handshake();
        if (step == TlsStep::Done) break;
        if (step == TlsStep::WantRead || step == TlsStep::WantWrite) {
            if (WaitTls(step) && FSocket >= 0) continue;
            tlsProblem_ = "TLS handshake: no answer in time";
            return false;
        }
        tlsProblem_ = stream->Problem();
        return false;
    }
    tls_ = std::move(stream);
    tlsIn_.clear();
    tlsCut_ = false;
    return true;
}

int TSockets::TlsSendAll(const char* data, int size, bool& cancelled, bool once) {
    int sent = 0;
    while (sent < size) {
        int put = 0;
        const TlsStep step = tls_->Write(data + sent, size - sent, put);
        if (step == TlsStep::Done) {
            sent += put;
            if (once) break;
            continue;
        }
        if (step == TlsStep::WantRead || step == TlsStep::WantWrite) {
            if (WaitTls(step) && tls_) continue;
            cancelled = true;
            return -WSAEINTR;
        }
        tlsProblem_ = tls_->Problem();
        return -WSAECONNABORTED;
    }
    return sent;
}

bool TSockets::TlsFill(bool& closed, bool& failed, bool wait) {
    char piece[kTlsPiece];
    for (;;) {
        int got = 0;
        const TlsStep step = tls_->Read(piece, sizeof piece, got);
        if (step == TlsStep::Done) {
            tlsIn_.append(piece, static_cast<size_t>(got));
            return true;
        }
        if (step == TlsStep::WantRead || step == TlsStep::WantWrite) {
            if (!wait) return false;
            if (WaitTls(step) && FSocket >= 0 && tls_) continue;
            failed = true;
            return false;
        }
        // A broken TLS stream carries nothing more: it ends like a close.
        if (step == TlsStep::Cut) {
            tlsProblem_ = tls_->Problem();
            tlsCut_ = true;
        }
        if (step == TlsStep::Failed) {
            tlsProblem_ = tls_->Problem();
            failed = true;
        }
        closed = true;
        return false;
    }
}

int TSockets::TlsReceive(char* buffer, int size) {
    if (tlsIn_.empty()) {
        bool closed = false, failed = false;
        if (!TlsFill(closed, failed)) return closed && !failed ? 0 : -1;
    }
    const int n = std::min(size, static_cast<int>(tlsIn_.size()));
    std::copy_n(tlsIn_.data(), n, buffer);
    tlsIn_.erase(0, static_cast<size_t>(n));
    return n;
}

bool TSockets::TlsShutdownAndDrain() {
    // Our close_notify first, then the server's close (its close_notify or a
    // plain end, which some servers send after a store: the FTP reply that
    // follows says whether all of it arrived): only then has it read everything.
    for (;;) {
        const TlsStep step = tls_->Shutdown();
        if (step == TlsStep::Done) break;
        if ((step == TlsStep::WantRead || step == TlsStep::WantWrite) && WaitTls(step) && tls_) continue;
        tlsProblem_ = tls_ ? tls_->Problem() : "TLS close abandoned";
        return false;
    }
    ::shutdown(FSocket, SHUT_WR);
    for (int n = 0; n < kMostDrainPieces && tls_; ++n) {
        bool closed = false, failed = false;
        tlsIn_.clear();
        if (TlsFill(closed, failed)) continue;
        return closed && !failed;
    }
    return false;
}

}  // namespace vollum
