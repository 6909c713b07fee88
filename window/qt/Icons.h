#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

// The program's icons and the About picture drawn with Qt from their design (window/common/IconDesign.h). The
// desktop's icons of the package are drawn by these as well (packaging/RenderIcons.cpp).

// Icon nIconId as a 32 by 32 image: the lamps IDI_LAMP_RED, IDI_LAMP_GREEN, IDI_LAMP_OFF and IDI_LAMP_YELLOW and
// the application icon IDR_MAINFRAME. A null pixmap for any other number.
QPixmap IconPixmap(int nIconId);
QIcon AppIcon();
// The application icon drawn at nSize by nSize pixels (1 to 1024; a null image otherwise): at 32 the image of
// IconPixmap(IDR_MAINFRAME), at other sizes the same design scaled and smoothed.
QImage AppIconImage(int nSize);
// The same design as a scalable SVG document.
QString AppIconSvg();
// Bitmap nBitmapId: IDB_ABOUT_LOGO, the 68 by 43 logo of the About box. A null pixmap for any other number.
QPixmap BitmapPixmap(int nBitmapId);
