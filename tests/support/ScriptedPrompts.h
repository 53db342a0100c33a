#pragma once
// The prompts of a test: records what was shown and answers from a script
// (the default answer once the script is exhausted).
#include <string>
#include <vector>

#include "common/UserPrompts.h"

namespace vollum {

class ScriptedPrompts : public UserPrompts {
public:
    struct Shown {
        std::string text;
        std::string title;
        PromptButtons buttons;
        PromptIcon icon;
    };
    PromptAnswer MessageBox(const std::string& text, const std::string& title, PromptButtons buttons,
                            PromptIcon icon) override;
    bool InputBox(const std::string& title, const std::string& prompt, std::string& value) override;
    // Records the file and its bytes as they were when shown.
    bool ShowFile(const std::string& path, const std::string& title) override;

    std::vector<Shown> shown;
    std::vector<PromptAnswer> answers;      // consumed front to back
    std::vector<std::string> inputAnswers;  // consumed front to back; "\x18" = Cancel
    std::vector<std::string> Texts() const;
    struct ShownFile {
        std::string path, title, bytes;
    };
    std::vector<ShownFile> files;
};

}  // namespace vollum
