// The e-mail client's watch against real processes: copies of /bin/sleep under the client's name.
#include "platform/probes/ProgramWatch.h"
#include "platform/probes/SystemProbesLinux.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The probes, counting the searches of the whole process list.
class TCountingProbes : public platform::TLinuxSystemProbes {
public:
    qint64 FindProgram(const QString& path, qint64 onlyProcess) override {
        Searches += onlyProcess == 0;
        return TLinuxSystemProbes::FindProgram(path, onlyProcess);
    }
    int Searches = 0;
};

class ProgramWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Socket notifiers need an event loop.
        static int argc = 1;
        static char name[] = "test_platform";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
        ASSERT_TRUE(Dir.isValid());
        Client = Dir.filePath(QStringLiteral("mail-client-x"));
        ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), Client));
    }
    QProcess* Start() {
        auto* process = new QProcess;
        process->start(Client, {QStringLiteral("300")});
        EXPECT_TRUE(process->waitForStarted(10000));
        Processes.emplace_back(process);
        return process;
    }
    void TearDown() override {
        for (const auto& process : Processes) {
            process->kill();
            process->waitForFinished(10000);
        }
    }

    QTemporaryDir Dir;
    QString Client;
    std::vector<std::unique_ptr<QProcess>> Processes;
    TCountingProbes Probes;
};

} // namespace

// Found at a look, then watched: no search while it runs, its end noticed at once, and another
// copy still running found at the look that follows.
TEST_F(ProgramWatchTest, AFoundClientIsWatchedUntilItEndsWithoutSearchingAgain) {
    platform::TProgramWatch watch(Probes);
    QSignalSpy ended(&watch, &platform::TProgramWatch::Ended);
    EXPECT_FALSE(watch.IsRunning(Client, true));
    QProcess* first = Start();
    EXPECT_FALSE(watch.IsRunning(Client, false)); // not looked for since it started
    EXPECT_TRUE(watch.IsRunning(Client, true));
    const int searches = Probes.Searches;
    for (int minute = 0; minute < 60; ++minute)
        EXPECT_TRUE(watch.IsRunning(Client, true));
    EXPECT_EQ(Probes.Searches, searches); // an hour of minute ticks while it runs: no search

    QProcess* second = Start();
    for (QProcess* copy : {first, second}) {
        copy->kill();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !watch.Watching(); }, 30000));
        EXPECT_EQ(watch.IsRunning(Client, true), copy == first);
    }
    EXPECT_EQ(ended.size(), 2);
}
