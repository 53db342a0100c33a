#include "ui/QtPrompts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

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

// Room for the title in the window manager's bar: the text, the icon and three buttons.
int WidthForTitle(const QString& title) {
    constexpr int kBarExtras = 140;
    return QFontMetrics(QFontDatabase::systemFont(QFontDatabase::TitleFont)).horizontalAdvance(title) + kBarExtras;
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
    // A message box sizes itself to its text only; a spacer keeps the title whole.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(WidthForTitle(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
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

int QtPrompts::Choose(const std::string& text, const std::string& title, const std::vector<std::string>& choices,
                      int defaultChoice, bool* forAll) {
    if (forAll != nullptr) *forAll = false;
    if (EndPending && EndPending()) return defaultChoice;
    QMessageBox box(QMessageBox::Question, title.empty() ? QStringLiteral("Vollum") : ToQt(title), ToQt(text));
    std::vector<QPushButton*> buttons;
    for (const std::string& choice : choices) buttons.push_back(box.addButton(ToQt(choice), QMessageBox::ActionRole));
    if (defaultChoice >= 0 && defaultChoice < static_cast<int>(buttons.size())) {
        box.setDefaultButton(buttons[static_cast<size_t>(defaultChoice)]);
        box.setEscapeButton(buttons[static_cast<size_t>(defaultChoice)]);
    }
    QCheckBox* all = nullptr;
    if (forAll != nullptr) {
        all = new QCheckBox(QStringLiteral("Do this for all"));
        box.setCheckBox(all);
    }
    box.exec();
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() != buttons[i]) continue;
        if (forAll != nullptr) *forAll = all->isChecked();
        return static_cast<int>(i);
    }
    return defaultChoice;
}

bool QtPrompts::InputBox(const std::string& title, const std::string& prompt, std::string& value) {
    if (EndPending && EndPending()) return false;
    QInputDialog dialog;
    dialog.setWindowTitle(ToQt(title));
    dialog.setLabelText(ToQt(prompt));
    dialog.setTextValue(ToQt(value));
    dialog.setMinimumWidth(WidthForTitle(dialog.windowTitle()));
    if (dialog.exec() != QDialog::Accepted) return false;
    value = FromQt(dialog.textValue());
    return true;
}

}  // namespace vollum
