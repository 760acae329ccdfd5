#pragma once
// A character file (".acs"): one SVG document that carries, in its
// <metadata>, what the component needs besides the picture: the character's
// name, voice and balloon style, and the pivot of its pointing arm. The format
// is described in docs/characters.md.
//
// TCharacterFile::Load throws EAgentError with a message for the user when
// the file is missing, unreadable or not a character file. Rendering never
// throws. No window is needed; only QtGui/QtSvg.
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>
#include <optional>

struct TCharacterVoice {
    QString Name = QStringLiteral("en-us"); // an espeak-ng voice, variant allowed ("en-us+m3")
    int Rate = 165;                         // words per minute
    int Pitch = 50;                         // 0..100
};

struct TBalloonStyle {
    QColor Fill = QColor(255, 255, 240);
    QColor Border = QColor(60, 60, 60);
    QColor Text = QColor(20, 20, 20);
    QString Font = QStringLiteral("DejaVu Sans");
    int FontSize = 11; // points
    int Width = 220;   // pixels, the balloon's outer width
};

// What a frame shows: the parts that are switched and the arm's direction.
struct TCharacterPose {
    int Mouth = 0; // 0 closed, 1 half open, 2 open
    bool EyesClosed = false;
    std::optional<int> ArmAngle; // degrees, clockwise from pointing right; none = at rest
    bool operator==(const TCharacterPose&) const = default;
};

class TCharacterFile {
public:
    // Reads and checks the file; throws EAgentError.
    static TCharacterFile Load(const QString& path);
    // The same from bytes already read; `displayName` names the file in errors.
    static TCharacterFile FromBytes(const QByteArray& bytes, const QString& displayName);

    QString Name() const { return FName; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    const TCharacterVoice& Voice() const { return FVoice; }
    const TBalloonStyle& Balloon() const { return FBalloon; }
    // Where the pointing arm is fixed to the body, in frame pixels (the file
    // gives it in the picture's own units, which the frame may scale).
    QPointF ArmPivot() const;

    // A picture of the character at rest fitted into side x side pixels, for
    // lists of characters; a null image when the file cannot be loaded. Never throws.
    static QImage Thumbnail(const QString& path, int side);
    // The character's name for lists, as its file gives it ("Genie" for
    // Genie.acs): blanks and control characters folded into single spaces, at
    // most MaxDisplayName characters. The file name without ".acs" when the
    // file cannot be loaded or names no one. Plain text, never markup; never throws.
    static QString DisplayName(const QString& path);
    static constexpr int MaxDisplayName = 40;

    // The SVG with only the parts of this pose, arm turned about its pivot.
    QByteArray ComposeSvg(const TCharacterPose& pose) const;
    // The pose drawn at Width() x Height() times `scale`, transparent around it.
    QImage Render(const TCharacterPose& pose, qreal scale = 1.0) const;

private:
    QByteArray FSvg;
    QString FName;
    int FWidth = 0;
    int FHeight = 0;
    TCharacterVoice FVoice;
    TBalloonStyle FBalloon;
    double FPivotX = 0;
    double FPivotY = 0;
    QRectF FViewBox;
};

// The XML namespace of the metadata that makes an SVG a character file.
inline constexpr const char* CharacterNamespace = "urn:talvoro:character:1";
