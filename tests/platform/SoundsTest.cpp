// Event sounds: libcanberra is mapped only once the first sound is due, and a machine without a
// sound device plays nothing without complaint.
#include "platform/Sounds.h"
#include "platform/ProgramModule.h"

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

bool Mapped(const std::string& library) {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find(library) != std::string::npos;
}

std::string Read(const QString& path) {
    std::ifstream file(path.toStdString());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

TEST(Sounds, LibraryLoadsWithTheFirstSound) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath("sounds.log");
    setenv("TALVORO_SOUND_LOG", log.toLocal8Bit().constData(), 1);

    setenv("TALVORO_AUDIO", "none", 1);
    platform::MessageBeep(platform::MB_ICONASTERISK);
    EXPECT_FALSE(platform::ModuleLoaded(platform::SoundModuleName));
    EXPECT_FALSE(Mapped("libcanberra"));

    unsetenv("TALVORO_AUDIO");
    platform::MessageBeep(platform::MB_OK);
    platform::MessageBeep(platform::MB_OK);
    EXPECT_TRUE(platform::ModuleLoaded(platform::SoundModuleName));
    EXPECT_TRUE(Mapped("libcanberra"));
    EXPECT_EQ(Read(log), "MessageBeep 64\nMessageBeep 0\nMessageBeep 0\n");
}
