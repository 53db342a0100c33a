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

int ScriptedPrompts::Choose(const std::string& text, const std::string& title,
                            const std::vector<std::string>& choices, int defaultChoice, bool* forAll) {
    shown.push_back({text, title, PromptButtons::Ok, PromptIcon::None});
    if (forAll != nullptr) *forAll = false;
    if (choiceAnswers.empty()) return defaultChoice;
    std::string a = choiceAnswers.front();
    choiceAnswers.erase(choiceAnswers.begin());
    const std::string suffix = " for all";
    if (a.size() > suffix.size() && a.compare(a.size() - suffix.size(), suffix.size(), suffix) == 0) {
        a.erase(a.size() - suffix.size());
        if (forAll != nullptr) *forAll = true;
    }
    for (size_t i = 0; i < choices.size(); ++i)
        if (choices[i] == a) return static_cast<int>(i);
    return defaultChoice;
}

std::vector<std::string> ScriptedPrompts::Texts() const {
    std::vector<std::string> out;
    for (const auto& s : shown) out.push_back(s.text);
    return out;
}

}  // namespace vollum
