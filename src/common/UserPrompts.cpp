#include "common/UserPrompts.h"

#include <cstdio>

namespace vollum {

PromptAnswer DefaultAnswer(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::YesNo: return PromptAnswer::Yes;
        case PromptButtons::YesNoDefaultNo: return PromptAnswer::No;
        case PromptButtons::ReplaceKeepBothCancel: return PromptAnswer::KeepBoth;
        case PromptButtons::Ok:
        case PromptButtons::OkCancel: break;
    }
    return PromptAnswer::Ok;
}

PromptAnswer ConsolePrompts::MessageBox(const std::string& text, const std::string& title, PromptButtons buttons,
                                        PromptIcon) {
    if (title.empty()) std::fprintf(stderr, "Vollum: %s\n", text.c_str());
    else std::fprintf(stderr, "Vollum: %s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    return DefaultAnswer(buttons);
}

bool ConsolePrompts::InputBox(const std::string& title, const std::string& prompt, std::string& value) {
    std::fprintf(stderr, "Vollum: %s: %s %s\n", title.c_str(), prompt.c_str(), value.c_str());
    return true;
}

}  // namespace vollum
