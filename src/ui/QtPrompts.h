#pragma once
// Message boxes, questions and input boxes as Qt dialogs.
#include <functional>

#include "common/UserPrompts.h"

namespace vollum {

class QtPrompts : public UserPrompts {
public:
    PromptAnswer MessageBox(const std::string& text, const std::string& title, PromptButtons buttons,
                            PromptIcon icon) override;
    bool InputBox(const std::string& title, const std::string& prompt, std::string& value) override;
    // A viewer window of its own, over the active window; it is not waited for.
    bool ShowFile(const std::string& path, const std::string& title) override;

    // True once the end of the program is pending: a box then closes at once
    // with its default answer, so it cannot hold the program up.
    std::function<bool()> EndPending;
};

}  // namespace vollum
