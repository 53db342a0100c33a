#pragma once
// What a retrieve or a store works with: the session's parts, its prompts
// and the profile in use.
#include "config/StartupValues.h"
#include "ftp/ControlChannel.h"
#include "ftp/DataChannel.h"
#include "ftp/Transcript.h"
#include "ftp/TransferMeter.h"

namespace vollum {

class UserPrompts;

struct TransferParts {
    ControlChannel& control;
    DataChannel& data;
    Transcript& transcript;
    TransferMeter& meter;
    UserPrompts& prompts;
    const StartupValues& settings;
};

// Whatever way a transfer leaves (return, error, exception), its data
// connection closes.
struct DataConnectionGuard {
    DataChannel& data;
    ~DataConnectionGuard() {
        try {
            data.Close();
        } catch (...) {
            // A failing log write must not escape a destructor.
        }
    }
};

}  // namespace vollum
