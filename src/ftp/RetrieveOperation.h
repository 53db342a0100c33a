#pragma once
// Everything that comes from the server over a data connection: a retrieve
// into a local file, a view handed to the editor, a directory listing into
// the pane or the editor.
#include <functional>
#include <string>
#include <string_view>

#include "ftp/TransferParts.h"

namespace vollum {

class RetrieveOperation {
public:
    explicit RetrieveOperation(const TransferParts& parts) : p_(parts) {}

    // source "LIST..." lists; an empty localName views; otherwise retrieves
    // source into localName, which changes only when the whole file came.
    void Run(const std::string& source, const std::string& localName, const std::string& typeCommand) {
        Receive(source, localName, typeCommand, nullptr);
    }
    // A listing command ("MLSD", "LIST dir") whose data goes to sink, in
    // blocks as they come, instead of the pane or the editor; true when the
    // whole listing came and the server confirmed it.
    using Sink = std::function<void(std::string_view)>;
    bool List(const std::string& command, const Sink& sink) { return Receive(command, "", "TYPE A", &sink); }

    // The byte count of "150 Opening ... for a.zip (20480 bytes)."; 0 when none.
    static int ReplyFileSize(const std::string& reply);

private:
    bool Receive(const std::string& source, const std::string& localName, const std::string& typeCommand,
                 const Sink* sink);

    TransferParts p_;
};

}  // namespace vollum
