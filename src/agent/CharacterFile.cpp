#include "agent/CharacterFile.h"

#include "agent/AgentError.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <set>

namespace {

// A frame length in whole pixels; 0 for anything that is not a number from 1 to 4096.
int ParseLength(QStringView text) {
    QString digits = text.trimmed().toString();
    if (digits.endsWith(QStringLiteral("px")))
        digits.chop(2);
    bool ok = false;
    const double value = digits.toDouble(&ok);
    if (!ok || !(value >= 1 && value <= 4096))
        return 0;
    return int(value + 0.5);
}

bool AllFinite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

QColor ColorOr(const QXmlStreamAttributes& attributes, const char* name, QColor fallback) {
    const QColor c(attributes.value(QLatin1String(name)).toString());
    return attributes.hasAttribute(QLatin1String(name)) && c.isValid() ? c : fallback;
}

int IntOr(const QXmlStreamAttributes& attributes, const char* name, int fallback, int low,
          int high) {
    bool ok = false;
    const int value = attributes.value(QLatin1String(name)).toInt(&ok);
    return ok ? std::clamp(value, low, high) : fallback;
}

} // namespace

TCharacterFile TCharacterFile::Load(const QString& path) {
    const QString shown = QFileInfo(path).fileName();
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw EAgentError(QStringLiteral("The character file \"%1\" was not found.").arg(shown));
    if (!file.open(QIODevice::ReadOnly))
        throw EAgentError(
            QStringLiteral("The character file \"%1\" could not be read.").arg(shown));
    // A character is a few hundred kilobytes at most; refuse to slurp anything huge.
    constexpr qint64 MaxSize = 8 * 1024 * 1024;
    if (file.size() > MaxSize)
        throw EAgentError(QStringLiteral("\"%1\" is not a character file.").arg(shown));
    return FromBytes(file.readAll(), shown);
}

TCharacterFile TCharacterFile::FromBytes(const QByteArray& bytes, const QString& displayName) {
    auto notACharacter = [&](const QString& why) {
        return EAgentError(
            QStringLiteral("\"%1\" is not a character file (%2).").arg(displayName, why));
    };
    TCharacterFile c;
    c.FSvg = bytes;
    bool sawMetadata = false;
    QXmlStreamReader xml(bytes);
    const QString ns = QString::fromLatin1(CharacterNamespace);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("svg") && c.FWidth == 0) {
            c.FWidth = ParseLength(a.value(QLatin1String("width")));
            c.FHeight = ParseLength(a.value(QLatin1String("height")));
            const auto box = a.value(QLatin1String("viewBox")).toString().simplified().split(' ');
            if (box.size() == 4) {
                const QRectF viewBox(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(),
                                     box[3].toDouble());
                if (AllFinite({viewBox.x(), viewBox.y(), viewBox.width(), viewBox.height()}))
                    c.FViewBox = viewBox;
            }
        } else if (xml.namespaceUri() != ns) {
            continue;
        } else if (xml.name() == QLatin1String("character")) {
            sawMetadata = true;
            c.FName = a.value(QLatin1String("name")).toString();
        } else if (xml.name() == QLatin1String("voice")) {
            if (a.hasAttribute(QLatin1String("name")))
                c.FVoice.Name = a.value(QLatin1String("name")).toString();
            c.FVoice.Rate = IntOr(a, "rate", c.FVoice.Rate, 80, 450);
            c.FVoice.Pitch = IntOr(a, "pitch", c.FVoice.Pitch, 0, 100);
        } else if (xml.name() == QLatin1String("balloon")) {
            c.FBalloon.Fill = ColorOr(a, "fill", c.FBalloon.Fill);
            c.FBalloon.Border = ColorOr(a, "border", c.FBalloon.Border);
            c.FBalloon.Text = ColorOr(a, "text", c.FBalloon.Text);
            if (a.hasAttribute(QLatin1String("font")))
                c.FBalloon.Font = a.value(QLatin1String("font")).toString();
            c.FBalloon.FontSize = IntOr(a, "font-size", c.FBalloon.FontSize, 6, 36);
            c.FBalloon.Width = IntOr(a, "width", c.FBalloon.Width, 80, 600);
        } else if (xml.name() == QLatin1String("arm")) {
            const auto parts = a.value(QLatin1String("pivot")).toString().simplified().split(' ');
            if (parts.size() == 2 && AllFinite({parts[0].toDouble(), parts[1].toDouble()})) {
                c.FPivotX = parts[0].toDouble();
                c.FPivotY = parts[1].toDouble();
            }
        }
    }
    if (xml.hasError())
        throw notACharacter(QStringLiteral("not a readable picture"));
    if (!sawMetadata)
        throw notACharacter(QStringLiteral("no character description inside"));
    if (c.FWidth < 16 || c.FHeight < 16 || c.FWidth > 1024 || c.FHeight > 1024)
        throw notACharacter(QStringLiteral("no usable frame size"));
    if (!QSvgRenderer(bytes).isValid())
        throw notACharacter(QStringLiteral("the picture cannot be drawn"));
    if (c.FName.isEmpty())
        c.FName = QFileInfo(displayName).completeBaseName();
    return c;
}

QPointF TCharacterFile::ArmPivot() const {
    if (!FViewBox.isValid())
        return QPointF(FPivotX, FPivotY);
    return QPointF((FPivotX - FViewBox.x()) * FWidth / FViewBox.width(),
                   (FPivotY - FViewBox.y()) * FHeight / FViewBox.height());
}

QByteArray TCharacterFile::ComposeSvg(const TCharacterPose& pose) const {
    std::set<QString> hidden;
    const char* mouths[] = {"mouth-closed", "mouth-half", "mouth-open"};
    for (int i = 0; i < 3; ++i)
        if (i != std::clamp(pose.Mouth, 0, 2))
            hidden.insert(QString::fromLatin1(mouths[i]));
    hidden.insert(pose.EyesClosed ? QStringLiteral("eyes-open") : QStringLiteral("eyes-closed"));
    hidden.insert(pose.ArmAngle ? QStringLiteral("arm-rest") : QStringLiteral("arm-point"));

    // Namespace processing off: names and xmlns attributes are copied exactly
    // as written, which keeps the SVG renderer's view of the document unchanged.
    QXmlStreamReader in(FSvg);
    in.setNamespaceProcessing(false);
    QByteArray out;
    QXmlStreamWriter w(&out);
    int skipDepth = 0;
    while (!in.atEnd()) {
        const auto token = in.readNext();
        if (skipDepth > 0) {
            if (token == QXmlStreamReader::StartElement)
                ++skipDepth;
            else if (token == QXmlStreamReader::EndElement)
                --skipDepth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement) {
            if (token != QXmlStreamReader::Invalid)
                w.writeCurrentToken(in);
            continue;
        }
        const auto attributes = in.attributes();
        const QString id = attributes.value(QLatin1String("id")).toString();
        if (hidden.count(id)) {
            skipDepth = 1;
            continue;
        }
        w.writeStartElement(in.qualifiedName().toString());
        QString transform;
        for (const auto& a : attributes) {
            if (id == QLatin1String("arm-point") && a.qualifiedName() == QLatin1String("transform"))
                transform = a.value().toString();
            else
                w.writeAttribute(a.qualifiedName().toString(), a.value().toString());
        }
        if (id == QLatin1String("arm-point") && pose.ArmAngle) {
            int angle = *pose.ArmAngle % 360;
            if (angle > 180)
                angle -= 360;
            if (angle < -180)
                angle += 360;
            // Pointing backwards, the arm is mirrored rather than turned upside down.
            const bool mirrored = angle > 90 || angle < -90;
            QString turn = QStringLiteral("translate(%1 %2) rotate(%3)%4 translate(%5 %6)")
                               .arg(FPivotX)
                               .arg(FPivotY)
                               .arg(angle)
                               .arg(mirrored ? QStringLiteral(" scale(1 -1)") : QString())
                               .arg(-FPivotX)
                               .arg(-FPivotY);
            w.writeAttribute(QStringLiteral("transform"),
                             transform.isEmpty() ? turn : turn + ' ' + transform);
        } else if (!transform.isEmpty()) {
            w.writeAttribute(QStringLiteral("transform"), transform);
        }
    }
    return out;
}

QImage TCharacterFile::Render(const TCharacterPose& pose, qreal scale) const {
    const QSize size(qMax(1, qRound(FWidth * scale)), qMax(1, qRound(FHeight * scale)));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(ComposeSvg(pose));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    return image;
}

QImage TCharacterFile::Thumbnail(const QString& path, int side) {
    try {
        const TCharacterFile c = Load(path);
        const qreal scale = qreal(side) / std::max(c.Width(), c.Height());
        const QImage figure = c.Render(TCharacterPose(), scale);
        QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
        square.fill(Qt::transparent);
        QPainter painter(&square);
        painter.drawImage((side - figure.width()) / 2, (side - figure.height()) / 2, figure);
        return square;
    } catch (const EAgentError&) {
        return QImage();
    }
}

QString TCharacterFile::DisplayName(const QString& path) {
    QString name;
    try {
        name = Load(path).Name();
    } catch (const EAgentError&) {
    }
    for (QChar& c : name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = u' ';
    name = name.simplified();
    if (name.isEmpty()) {
        name = QFileInfo(path).fileName();
        if (name.endsWith(QStringLiteral(".acs"), Qt::CaseInsensitive))
            name.chop(4);
    }
    if (name.size() > MaxDisplayName)
        name = name.left(MaxDisplayName - 1) + QChar(0x2026);
    return name;
}
