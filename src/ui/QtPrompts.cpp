#include "ui/QtPrompts.h"

#include <QInputDialog>
#include <QMessageBox>

#include "ui/QtText.h"

namespace vollum {

namespace {

QMessageBox::Icon IconOf(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Information: return QMessageBox::Information;
        case PromptIcon::Warning:
        case PromptIcon::Exclamation: return QMessageBox::Warning;
        case PromptIcon::Error: return QMessageBox::Critical;
        case PromptIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

PromptAnswer QtPrompts::MessageBox(const std::string& text, const std::string& title, PromptButtons buttons,
                                   PromptIcon icon) {
    if (EndPending && EndPending()) return DefaultAnswer(buttons);
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    QMessageBox::StandardButton first = QMessageBox::Ok;
    if (buttons == PromptButtons::OkCancel) set = QMessageBox::Ok | QMessageBox::Cancel;
    if (buttons == PromptButtons::YesNo) {
        set = QMessageBox::Yes | QMessageBox::No;
        first = QMessageBox::Yes;
    }
    QMessageBox box(IconOf(icon), title.empty() ? QStringLiteral("Vollum") : ToQt(title), ToQt(text), set);
    box.setDefaultButton(first);
    switch (box.exec()) {
        case QMessageBox::Cancel: return PromptAnswer::Cancel;
        case QMessageBox::Yes: return PromptAnswer::Yes;
        case QMessageBox::No: return PromptAnswer::No;
        case QMessageBox::Ok: return PromptAnswer::Ok;
        default:  // closed by the window manager: the answer of Escape
            return buttons == PromptButtons::Ok      ? PromptAnswer::Ok
                   : buttons == PromptButtons::YesNo ? PromptAnswer::No
                                                     : PromptAnswer::Cancel;
    }
}

bool QtPrompts::InputBox(const std::string& title, const std::string& prompt, std::string& value) {
    if (EndPending && EndPending()) return false;
    bool ok = false;
    const QString answer =
        QInputDialog::getText(nullptr, ToQt(title), ToQt(prompt), QLineEdit::Normal, ToQt(value), &ok);
    if (ok) value = FromQt(answer);
    return ok;
}

}  // namespace vollum
