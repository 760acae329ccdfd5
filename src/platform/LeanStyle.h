#pragma once
// The application's style: the desktop's own, except that the arrow of a
// tool bar's extension button is drawn rather than read from Qt's PNG file.
// Giving QIcon a picture file makes Qt load every image format plug-in it
// has (GIF, ICO, JPEG with its library, SVG) to look at the file's contents,
// and a program that sits in the tray all day needs none of them.
#include <QProxyStyle>

namespace platform {

class TLeanStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

} // namespace platform
