#pragma once
// The program's pictures, drawn from the SVG files compiled into the tray
// library, at whatever size and pixel density they are shown.
//
// - StatePicture(0..5): the tray icon's state pictures (32 by 32 at heart),
//   indexed as TrayPicture in ProgramState.h: grey gear, gear crossed out,
//   envelope over the gear, gear with a yellow Z, green centre, red centre.
// - AnimationFrame(0..3): the grey gear at successive turning positions.
// - MenuPicture(0..11): the 16 by 16 pictures of menus, toolbars and actions:
//   0 open envelope, 1 closed envelope, 2 envelope with a letter, 3 clock,
//   4 gear, 5 black X, 6 question mark, 7 page with two turning arrows,
//   8 red round sign with a white X, 9 black letter E, 10 information,
//   11 loudspeaker.
// An index out of range gives a null icon. The same index always gives the
// same QIcon (equal cacheKey()).
#include <QIcon>
#include <QPixmap>

class TImageLists {
public:
    static constexpr int StatePictureCount = 6;
    static constexpr int AnimationFrameCount = 4;
    static constexpr int MenuPictureCount = 12;
    static constexpr QSize LogoSize{112, 119};

    static QIcon StatePicture(int index);
    static QIcon AnimationFrame(int index);
    static QIcon MenuPicture(int index);
    // The program's logo, 112 by 119, drawn for the given pixel density.
    static QPixmap LogoPixmap(qreal devicePixelRatio = 1.0);
    // The program's own icon (window title bars, task switcher).
    static QIcon AppIcon();
};
