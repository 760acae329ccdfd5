#include "app/Labels.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

void TClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

TLinkLabel::TLinkLabel(const QString& text, QString url, QWidget* parent)
    : QLabel(text, parent), Target(std::move(url)) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click to open default web browser"));
    SetColour(Qt::blue);
}

void TLinkLabel::SetColour(const QColor& colour) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        QDesktopServices::openUrl(QUrl(Target));
}

void TLinkLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    SetColour(Qt::red);
}

void TLinkLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    SetColour(Qt::blue);
}
