#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

// The program's own resources: the icons and the About picture, drawn at run time; the string resource of the
// About entry; the display font of the two digital displays. Identifiers are those of res/Resource.h.

// Makes the files embedded from res/kalvora.qrc (dialog templates, bundled font) available; the dialog builder
// and DisplayFont call it, so that neither the program nor a test has to.
void InitResources();

// Icon nIconId as a 32 by 32 image: the lamps IDI_LAMP_RED, IDI_LAMP_GREEN, IDI_LAMP_OFF and IDI_LAMP_YELLOW
// (a circular lamp with a grey rim on a transparent background) and the application icon IDR_MAINFRAME. A null
// pixmap for any other number.
QPixmap IconPixmap(int nIconId);
QIcon AppIcon();
// The application icon drawn at nSize by nSize pixels (1 to 1024; a null image otherwise): at 32 the image of
// IconPixmap(IDR_MAINFRAME), at other sizes the same design scaled and smoothed. The desktop's icons are these.
QImage AppIconImage(int nSize);
// The same design as a scalable SVG document.
QString AppIconSvg();

// Bitmap nBitmapId: IDB_ABOUT_LOGO, the 68 by 43 logo of the About box. A null pixmap for any other number.
QPixmap BitmapPixmap(int nBitmapId);

// String resource nStringId: IDS_ABOUTBOX is "&About Kalvora...". Empty for any other number.
QString ResourceString(int nStringId);

// The font of the digital displays: face "DS-Digital Italic" when it is installed, else the bundled seven-segment
// face DSEG7 Classic Italic, narrowed to the proportions of the display face; 18 points given as a character
// height of logical DPI * 180 / 720 pixels (24 pixels at 96 dots per inch).
QFont DisplayFont();
// That character height in pixels for a vertical resolution.
int DisplayFontPixels(double dLogicalDpiY);
