#include "common/UserPrompts.h"

#include <cstdio>

#include "common/Helpers.h"

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
    // Names and server texts in it are not ours to let loose on a terminal.
    if (title.empty()) std::fprintf(stderr, "Vollum: %s\n", TerminalText(text).c_str());
    else std::fprintf(stderr, "Vollum: %s: %s\n", TerminalText(title).c_str(), TerminalText(text).c_str());
    std::fflush(stderr);
    return DefaultAnswer(buttons);
}

bool ConsolePrompts::InputBox(const std::string& title, const std::string& prompt, std::string& value) {
    std::fprintf(stderr, "Vollum: %s\n", TerminalText(title + ": " + prompt + " " + value).c_str());
    return true;
}

}  // namespace vollum
