#pragma once
// The one door to the user: every message box, question, input box and notice
// of the engine goes through this interface.
#include <string>

namespace vollum {

// YesNoDefaultNo: a question whose Yes would lose something; Enter answers No.
// ReplaceKeepBothCancel: a file is there already; Enter keeps both.
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoDefaultNo, ReplaceKeepBothCancel };
enum class PromptIcon { None, Information, Warning, Error, Exclamation };
enum class PromptAnswer { Ok, Cancel, Yes, No, Replace, KeepBoth };

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    virtual PromptAnswer MessageBox(const std::string& text, const std::string& title, PromptButtons buttons,
                                    PromptIcon icon) = 0;
    // Returns false on Cancel; value holds the preset on entry and the answer on return.
    virtual bool InputBox(const std::string& title, const std::string& prompt, std::string& value) = 0;
    // True when questions get their default answer with nobody asked.
    virtual bool AnswersOnItsOwn() const { return false; }
    // Shows a local file read-only, for when no outside program can; false
    // when there is no window to show it in.
    virtual bool ShowFile(const std::string& path, const std::string& title) {
        (void)path;
        (void)title;
        return false;
    }

    // Shorthands used throughout the engine.
    void Notice(const std::string& text) { MessageBox(text, "", PromptButtons::Ok, PromptIcon::None); }
    void Warning(const std::string& text) { MessageBox(text, "Warning", PromptButtons::Ok, PromptIcon::Warning); }
    bool AskYesNo(const std::string& text) {
        return MessageBox(text, "Confirm", PromptButtons::YesNo, PromptIcon::Warning) == PromptAnswer::Yes;
    }
};

// The default button's answer: OK, Yes, No for YesNoDefaultNo, KeepBoth.
PromptAnswer DefaultAnswer(PromptButtons buttons);

// Headless runs: prints to stderr and takes the default answer.
class ConsolePrompts : public UserPrompts {
public:
    PromptAnswer MessageBox(const std::string& text, const std::string& title, PromptButtons buttons,
                            PromptIcon icon) override;
    bool InputBox(const std::string& title, const std::string& prompt, std::string& value) override;
    bool AnswersOnItsOwn() const override { return true; }
};

}  // namespace vollum
