#pragma once
// Everything that comes from the server over a data connection: a retrieve
// into a local file, a view handed to the editor, a directory listing into
// the pane or the editor.
#include <string>

#include "ftp/TransferParts.h"

namespace vollum {

class RetrieveOperation {
public:
    explicit RetrieveOperation(const TransferParts& parts) : p_(parts) {}

    // source "LIST..." lists; an empty localName views; otherwise retrieves
    // source into localName, which changes only when the whole file came.
    void Run(const std::string& source, const std::string& localName, const std::string& typeCommand);

    // The byte count of "150 Opening ... for a.zip (20480 bytes)."; 0 when none.
    static int ReplyFileSize(const std::string& reply);

private:
    TransferParts p_;
};

}  // namespace vollum
