#include "common/Terminate.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vollum {
namespace {
TerminateHandler& Handler() {
    static TerminateHandler h;
    return h;
}
std::vector<std::function<void()>>& Hooks() {
    static std::vector<std::function<void()>> hooks;
    return hooks;
}
}  // namespace

[[noreturn]] void TerminateProgram(int exitCode) {
    for (auto& hook : Hooks()) hook();
    if (Handler()) Handler()(exitCode);
    std::fflush(nullptr);
    // _Exit: no static destructors, which may belong to objects still in use
    // further up the stack of the wait we are leaving.
    std::_Exit(exitCode);
}

TerminateHandler SetTerminateHandler(TerminateHandler handler) {
    TerminateHandler old = Handler();
    Handler() = std::move(handler);
    return old;
}

void AddTerminateHook(std::function<void()> hook) { Hooks().push_back(std::move(hook)); }

}  // namespace vollum
