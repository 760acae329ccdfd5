// A mail client that is a script: real processes started through their
// interpreter are recognised by the script's file name.
#include "platform/probes/SystemProbesLinux.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct TScriptCase {
    const char* Name;    // the script's file name
    QByteArray Script;   // its text; empty: Command runs instead
    QStringList Command; // how it is started; empty: the script itself
    bool Counts;         // whether a client configured as Name is found
};

QString Write(const QString& path, const QByteArray& text) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

TEST(ScriptClientProbe, AScriptRunByItsInterpreterCountsByTheScriptsName) {
    QTemporaryDir dir;
    const QString python = "#!/usr/bin/env python3\nimport time\ntime.sleep(60)\n";
    const std::vector<TScriptCase> cases = {
        {"Mailer-Sh", "#!/bin/sh\nsleep 60\n", {}, true},
        {"mailer-bash-opt", "#!/bin/bash -e\nsleep 60\n", {}, true},
        {"mailer.py", python.toUtf8(), {}, true},
        {"mailer-explicit", "sleep 60\n", {"/bin/sh", "-e", "%s"}, true},
        {"mailer.pl", "sleep 60;\n", {"perl", "-w", "%s"}, true},
        {"mailer-perl-e", {}, {"perl", "-e", "sleep 60; # mailer-perl-e"}, false},
        // The name only in the program text of "-c" is no script.
        {"mailer-inline", {}, {"/bin/sh", "-c", "sleep 60; : mailer-inline"}, false},
    };
    std::vector<std::unique_ptr<QProcess>> running;
    for (const TScriptCase& c : cases) {
        const QString path = dir.filePath(c.Name);
        if (!c.Script.isEmpty())
            Write(path, c.Script);
        auto process = std::make_unique<QProcess>();
        QStringList command = c.Command.isEmpty() ? QStringList{path} : c.Command;
        command.replaceInStrings("%s", path);
        process->start(command.takeFirst(), command);
        ASSERT_TRUE(process->waitForStarted()) << c.Name;
        running.push_back(std::move(process));
    }

    platform::TLinuxSystemProbes probes;
    QTemporaryDir clients; // the configured path: the same file name elsewhere
    for (const TScriptCase& c : cases) {
        const QString client = Write(clients.filePath(QString(c.Name).toLower()), "x");
        // A script started through /usr/bin/env shows its interpreter only once
        // env has handed over to it: wait for that, generously.
        bool found = probes.IsProgramRunning(client);
        for (QDeadlineTimer deadline(20000); c.Counts && !found && !deadline.hasExpired();) {
            QThread::msleep(20);
            found = probes.IsProgramRunning(client);
        }
        EXPECT_EQ(found, c.Counts) << c.Name;
    }
    for (auto& process : running) {
        process->kill();
        process->waitForFinished();
    }
}
