// The character file reader: any bytes are either refused with the component's error or give a
// character of a usable size whose poses can be composed and drawn.
#include "FuzzCheck.h"
#include "agent/AgentError.h"
#include "agent/CharacterFile.h"

#include <QGuiApplication>
#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    SilenceQtMessages();
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const TCharacterFile character = TCharacterFile::FromBytes(bytes, QStringLiteral("F.acs"));
        FUZZ_CHECK(character.Width() >= 1 && character.Width() <= 4096);
        FUZZ_CHECK(character.Height() >= 1 && character.Height() <= 4096);
        TCharacterPose pose;
        pose.Mouth = size % 3;
        pose.EyesClosed = size % 2;
        pose.ArmAngle = int(size % 720) - 360;
        FUZZ_CHECK(!character.ComposeSvg(pose).isEmpty());
        // Drawn small: the fuzzer is after the reading, not the painting.
        const QImage image = character.Render(pose, 0.05);
        FUZZ_CHECK(!image.isNull());
    } catch (const EAgentError&) {
    }
    return 0;
}
