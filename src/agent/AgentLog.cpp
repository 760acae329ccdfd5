#include "agent/AgentLog.h"

#include <QFile>

void AppendAgentLog(const QString& line) {
    const QString path = qEnvironmentVariable("TALVORO_AGENT_LOG");
    if (path.isEmpty())
        return;
    // Opened per line: the file may be moved or truncated by a test between requests.
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write((line + '\n').toUtf8());
}
