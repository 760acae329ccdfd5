#pragma once
// Small label controls of the main window.
#include <QLabel>

// A label that reports double-clicks (the counters, the product name).
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void DoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// An underlined blue text that opens the default web browser on click and
// turns red while the mouse is over it.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    TLinkLabel(const QString& text, QString url, QWidget* parent = nullptr);

    const QString& Url() const { return Target; }
    void SetUrl(const QString& url) { Target = url; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetColour(const QColor& colour);
    QString Target;
};
