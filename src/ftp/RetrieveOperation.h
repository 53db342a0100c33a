#pragma once
// Everything that comes from the server over a data connection: a retrieve
// into a local file, a view handed to the editor, a directory listing into
// the pane or the editor.
#include <functional>
#include <string>
#include <string_view>

#include "ftp/TransferParts.h"

namespace vollum {

// A retrieve's extras beyond the menu's Get.
struct RetrieveOptions {
    // The size a listing gave, for the meter and the size check when the
    // server's reply announces none; 0 when unknown.
    long long expectedSize = 0;
    // Resume: the bytes localName already holds; REST asks for the rest, which
    // is appended to the file in place. 0: the whole file, as ever.
    long long restartAt = 0;
};

class RetrieveOperation {
public:
    explicit RetrieveOperation(const TransferParts& parts) : p_(parts) {}

    // source "LIST..." lists; an empty localName views; otherwise retrieves
    // source into localName, which changes only when the whole file came.
    // True when a retrieve put the whole file in place.
    bool Run(const std::string& source, const std::string& localName, const std::string& typeCommand,
             const RetrieveOptions& options = {}) {
        return Receive(source, localName, typeCommand, nullptr, options);
    }
    // A listing command ("MLSD", "LIST dir") whose data goes to sink, in
    // blocks as they come, instead of the pane or the editor; true when the
    // whole listing came and the server confirmed it.
    using Sink = std::function<void(std::string_view)>;
    bool List(const std::string& command, const Sink& sink) { return Receive(command, "", "TYPE A", &sink, {}); }

    // The byte count of "150 Opening ... for a.zip (20480 bytes)."; 0 when none.
    static int ReplyFileSize(const std::string& reply);

private:
    bool Receive(const std::string& source, const std::string& localName, const std::string& typeCommand,
                 const Sink* sink, const RetrieveOptions& options);

    TransferParts p_;
};

}  // namespace vollum
