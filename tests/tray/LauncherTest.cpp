#include "platform/launcher/Launcher.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QString WriteScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// The started program runs on its own; wait for its output generously.
QByteArray WaitForFile(const QString& path) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray content = file.readAll();
            if (content.endsWith('\n'))
                return content;
        }
        QThread::msleep(20);
    }
    return "(no output)";
}

// A path of exactly this many characters to an existing file.
QString PathOfLength(const QTemporaryDir& dir, int length) {
    QString path = dir.path() + "/";
    const int rest = length - static_cast<int>(path.size());
    EXPECT_GT(rest, 0);
    path += QString(rest, QLatin1Char('p'));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return path;
}

TEST(LaunchProgram, RefusesWhenNoFileIsThere) {
    QTemporaryDir dir;
    EXPECT_FALSE(platform::LaunchProgram(dir.path() + "/missing", QString()));
    EXPECT_FALSE(platform::LaunchProgram(QString(), QString()));
    EXPECT_FALSE(platform::LaunchProgram(dir.path(), QString())); // a folder
}

TEST(LaunchProgram, StartsTheProgramWithTheParameterAsOneArgumentWithoutAShell) {
    QTemporaryDir dir;
    const QString out = dir.path() + "/out.txt";
    const QString script =
        WriteScript(dir.path() + "/client.sh",
                    "{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; } > \"$0.tmp\"\n"
                    "mv \"$0.tmp\" \"" +
                        out.toUtf8() + "\"\n");
    EXPECT_TRUE(platform::LaunchProgram(script, QStringLiteral("two words $(touch pwned);x")));
    EXPECT_EQ(WaitForFile(out), QByteArray("1\n[two words $(touch pwned);x]\n"));
    EXPECT_FALSE(QFile::exists(QDir::currentPath() + "/pwned"));

    QFile::remove(out);
    EXPECT_TRUE(platform::LaunchProgram(script, QString()));
    EXPECT_EQ(WaitForFile(out), QByteArray("0\n"));
}

TEST(LaunchProgram, AFileThatCannotBeStartedStillCountsAsStarted) {
    QTemporaryDir dir;
    const QString notAProgram = dir.path() + "/notes.txt";
    QFile file(notAProgram);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(platform::LaunchProgram(notAProgram, QString()));
}

TEST(LaunchProgram, RefusesACommandLineLongerThan200CharactersInsteadOfCuttingIt) {
    QTemporaryDir dir;
    // path + " " + parameter: 199 + 1 + 0 fits, 200 + 1 + 0 does not.
    EXPECT_TRUE(platform::LaunchProgram(PathOfLength(dir, 199), QString()));
    EXPECT_FALSE(platform::LaunchProgram(PathOfLength(dir, 200), QString()));
    const QString path = PathOfLength(dir, 150);
    EXPECT_TRUE(platform::LaunchProgram(path, QString(49, QLatin1Char('a'))));
    EXPECT_FALSE(platform::LaunchProgram(path, QString(50, QLatin1Char('a'))));
    EXPECT_EQ(platform::LaunchCommandLine(QStringLiteral("/x"), QStringLiteral("y")),
              QStringLiteral("/x y"));
}

} // namespace
