#include "ui/QtPrompts.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

#include "ui/FileViewer.h"
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

// Room for the title in the window manager's bar: the text (bold in many
// themes), the icon and three buttons.
int WidthForTitle(const QString& title) {
    constexpr int kBarExtras = 140;
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + kBarExtras;
}

// The input dialog makes its layout only as it is shown, and sizes itself to
// its contents: just before the window appears, the title's room goes to the
// field, and a fixed size keeps the window manager from adding a resize
// handle under the buttons.
class FitInputBox : public QObject {
public:
    explicit FitInputBox(QInputDialog& dialog) : dialog_(dialog) { dialog.installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &dialog_ && event->type() == QEvent::Show) {
            QLayout* layout = dialog_.layout();
            auto* field = dialog_.findChild<QLineEdit*>();
            if (layout && field) {
                const QMargins margins = layout->contentsMargins();
                field->setMinimumWidth(WidthForTitle(dialog_.windowTitle()) - margins.left() - margins.right());
                layout->setSizeConstraint(QLayout::SetFixedSize);
                layout->activate();
            }
        }
        return false;
    }

private:
    QInputDialog& dialog_;
};

}  // namespace

PromptAnswer QtPrompts::MessageBox(const std::string& text, const std::string& title, PromptButtons buttons,
                                   PromptIcon icon) {
    if (EndPending && EndPending()) return DefaultAnswer(buttons);
    QMessageBox box(IconOf(icon), title.empty() ? QStringLiteral("Vollum") : ToQt(title), ToQt(text));
    // Each button with its answer, the default one first.
    std::vector<std::pair<QAbstractButton*, PromptAnswer>> answers;
    auto add = [&](QMessageBox::StandardButton button, PromptAnswer answer) {
        answers.emplace_back(box.addButton(button), answer);
    };
    auto addText = [&](const char* caption, QMessageBox::ButtonRole role, PromptAnswer answer) {
        answers.emplace_back(box.addButton(caption, role), answer);
    };
    switch (buttons) {
        case PromptButtons::Ok: add(QMessageBox::Ok, PromptAnswer::Ok); break;
        case PromptButtons::OkCancel:
            add(QMessageBox::Ok, PromptAnswer::Ok);
            add(QMessageBox::Cancel, PromptAnswer::Cancel);
            break;
        case PromptButtons::YesNo:
            add(QMessageBox::Yes, PromptAnswer::Yes);
            add(QMessageBox::No, PromptAnswer::No);
            break;
        case PromptButtons::YesNoDefaultNo:
            add(QMessageBox::No, PromptAnswer::No);
            add(QMessageBox::Yes, PromptAnswer::Yes);
            break;
        case PromptButtons::ReplaceKeepBothCancel:
            addText("&Keep both", QMessageBox::AcceptRole, PromptAnswer::KeepBoth);
            addText("&Replace", QMessageBox::DestructiveRole, PromptAnswer::Replace);
            add(QMessageBox::Cancel, PromptAnswer::Cancel);
            break;
    }
    // Escape (and the window manager's close) answers Cancel or No where there is one.
    auto escape = answers.front();
    for (const auto& a : answers)
        if (a.second == PromptAnswer::Cancel || a.second == PromptAnswer::No) escape = a;
    box.setDefaultButton(qobject_cast<QPushButton*>(answers.front().first));
    box.setEscapeButton(escape.first);
    // A message box sizes itself to its text only; a spacer keeps the title whole.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(WidthForTitle(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
    for (const auto& [button, answer] : answers)
        if (box.clickedButton() == button) return answer;
    return escape.second;
}

bool QtPrompts::InputBox(const std::string& title, const std::string& prompt, std::string& value) {
    if (EndPending && EndPending()) return false;
    QInputDialog dialog;
    dialog.setWindowTitle(ToQt(title));
    dialog.setLabelText(ToQt(prompt));
    dialog.setTextValue(ToQt(value));
    FitInputBox fit(dialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    value = FromQt(dialog.textValue());
    return true;
}

bool QtPrompts::ShowFile(const std::string& path, const std::string& title) {
    if (EndPending && EndPending()) return false;
    // Owned by the window it was asked from, so it goes when that does.
    auto* viewer = new TFileViewer(path, title, QApplication::activeWindow());
    viewer->show();
    return true;
}

}  // namespace vollum
