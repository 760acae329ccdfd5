#include "agent/AgentOptions.h"

#include "platform/Paths.h"
#include "platform/ReadRegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

QString TAgentOptions::DefaultPath() {
    return platform::ConfigDir() + "/agent.conf";
}

TAgentOptions TAgentOptions::Load(const QString& path) {
    const std::optional<QByteArray> text = platform::ReadRegularFile(path, 64 * 1024);
    return text ? Parse(QString::fromUtf8(*text)) : TAgentOptions{};
}

bool TAgentOptions::Save(const QString& path) const {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(Format().toUtf8());
    return file.commit();
}

TAgentOptions TAgentOptions::Parse(const QString& text) {
    TAgentOptions o;
    for (const QString& line : text.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QString name = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        bool ok = false;
        const int number = value.toInt(&ok);
        if (name == QLatin1String("Engine"))
            o.Engine = value == QLatin1String("desktop") ? TSpeechVoice::DesktopService
                                                         : TSpeechVoice::BuiltIn;
        else if (name == QLatin1String("Voice"))
            o.Voice = value;
        else if (name == QLatin1String("Speed") && ok)
            o.Speed = std::clamp(number, 50, 200);
        else if (name == QLatin1String("Pitch") && ok)
            o.Pitch = std::clamp(number, -50, 50);
        else if (name == QLatin1String("Volume") && ok)
            o.Volume = std::clamp(number, 0, 100);
        else if (name == QLatin1String("Balloon") && ok)
            o.Balloon = number != 0;
    }
    return o;
}

QString TAgentOptions::Format() const {
    return QStringLiteral("Engine=%1\nVoice=%2\nSpeed=%3\nPitch=%4\nVolume=%5\nBalloon=%6\n")
        .arg(Engine == TSpeechVoice::DesktopService ? QStringLiteral("desktop")
                                                    : QStringLiteral("builtin"))
        .arg(Voice)
        .arg(Speed)
        .arg(Pitch)
        .arg(Volume)
        .arg(Balloon ? 1 : 0);
}

TSpeechSettings TAgentOptions::SpeechFor(const TCharacterVoice& voice) const {
    TSpeechSettings s;
    s.Engine = Engine;
    s.Voice = Voice.isEmpty() ? voice.Name : Voice;
    s.Rate = std::clamp(voice.Rate * Speed / 100, 80, 450);
    s.Pitch = std::clamp(voice.Pitch + Pitch, 0, 100);
    s.Volume = Volume;
    return s;
}
