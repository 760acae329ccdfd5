#pragma once
// The main() of window tests that run the program's own application object on the offscreen
// platform. The user's session bus is never reached: the desktop has no say in what is spoken
// (do-not-disturb), and tests that need a bus bring a private one.
#include "app/Application.h"
#include "platform/TalvoroApplication.h"

#include <gtest/gtest.h>

inline int RunWindowTests(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TALVORO_AUDIO", "none");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/talvoro-test-bus");
    qunsetenv("XDG_CURRENT_DESKTOP");
    platform::TTalvoroApplication application(argc, argv);
    ConfigureApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
