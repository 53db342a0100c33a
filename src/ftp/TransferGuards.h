#pragma once
// Scope guards shared by the transfer routines: whatever way a transfer
// leaves (return, error, exception), its flag drops and its sockets close.
#include "ftp/TFtpSession.h"

namespace vollum {

struct TransferFlagGuard {
    bool& flag;
    explicit TransferFlagGuard(bool& f) : flag(f) { flag = true; }
    ~TransferFlagGuard() { flag = false; }
};

struct DataConnectionGuard {
    TFtpSession& session;
    ~DataConnectionGuard() {
        try {
            session.CloseDataConnection();
        } catch (...) {
            // A failing log write must not escape a destructor.
        }
    }
};

}  // namespace vollum
