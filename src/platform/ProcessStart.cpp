#include "platform/ProcessStart.h"

namespace vollum {
const char* const kStartedBySpoolBay = "VOLLUM_STARTED_BY_SPOOLBAY";
}

#ifndef _WIN32
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace vollum {

namespace {
QString Text(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

bool StartHidden(const std::string& program, const std::vector<std::string>& args) {
    if (program.empty()) return false;
    QStringList list;
    for (const auto& a : args) list << Text(a);
    // Detached: the child is re-parented, so it neither waits on us nor lingers as a zombie.
    return QProcess::startDetached(Text(program), list);
}

long long StartClientProcess(const std::string& program, const std::vector<std::string>& args) {
    if (program.empty()) return -1;
    QStringList list;
    for (const auto& a : args) list << Text(a);
    QProcess p;
    p.setProgram(Text(program));
    p.setArguments(list);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kStartedBySpoolBay, "1");
    p.setProcessEnvironment(env);
    qint64 pid = -1;
    // Detached as StartHidden is: SpoolBay ending must never end a run.
    return p.startDetached(&pid) && pid > 0 ? pid : -1;
}

bool StartEditor(const std::string& editor, const std::string& file) {
    QStringList parts = QProcess::splitCommand(QString::fromLocal8Bit(editor.empty() ? "xdg-open" : editor));
    if (parts.isEmpty()) return false;
    const QString program = parts.takeFirst();
    parts << Text(file);
    return QProcess::startDetached(program, parts);
}

std::string ClientProgramName() { return "Vollum"; }

}  // namespace vollum
#endif
