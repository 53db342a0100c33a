#include "ui/TApplication.h"

#include "common/Errors.h"
#include "common/UserPrompts.h"

namespace vollum {

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const VollumError& e) {
        if (Prompts) Prompts->MessageBox(e.what(), "Error", PromptButtons::Ok, PromptIcon::Error);
        return false;
    }
}

}  // namespace vollum
