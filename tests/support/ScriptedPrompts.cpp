#include "support/ScriptedPrompts.h"

#include <fstream>
#include <iterator>

namespace vollum {

PromptAnswer ScriptedPrompts::MessageBox(const std::string& text, const std::string& title, PromptButtons buttons,
                                         PromptIcon icon) {
    shown.push_back({text, title, buttons, icon});
    if (answers.empty()) return DefaultAnswer(buttons);
    PromptAnswer a = answers.front();
    answers.erase(answers.begin());
    return a;
}

bool ScriptedPrompts::InputBox(const std::string& title, const std::string& prompt, std::string& value) {
    shown.push_back({prompt, title, PromptButtons::OkCancel, PromptIcon::None});
    if (inputAnswers.empty()) return true;
    std::string a = inputAnswers.front();
    inputAnswers.erase(inputAnswers.begin());
    if (a == "\x18") return false;
    value = a;
    return true;
}

bool ScriptedPrompts::ShowFile(const std::string& path, const std::string& title) {
    std::ifstream in(path, std::ios::binary);
    files.push_back({path, title, std::string(std::istreambuf_iterator<char>(in), {})});
    return true;
}

std::vector<std::string> ScriptedPrompts::Texts() const {
    std::vector<std::string> out;
    for (const auto& s : shown) out.push_back(s.text);
    return out;
}

}  // namespace vollum
