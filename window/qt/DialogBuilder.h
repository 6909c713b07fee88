#pragma once

#include "res/DialogTemplate.h"

#include <QFont>
#include <QRect>

#include <optional>
#include <vector>

class QWidget;

// Dialog units of one font, measured the way the window system does: the horizontal base is the average width of
// "A".."Z" and "a".."z" rounded to whole pixels, the vertical base the height of the font. A horizontal unit is a
// quarter of the horizontal base, a vertical unit an eighth of the vertical base; each value is converted on its
// own, rounding halves up.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(int nBaseX, int nBaseY) : m_nBaseX(nBaseX), m_nBaseY(nBaseY) {}

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }
    int X(int nUnits) const { return (nUnits * m_nBaseX + 2) / 4; }
    int Y(int nUnits) const { return (nUnits * m_nBaseY + 4) / 8; }
    QRect Rect(int x, int y, int cx, int cy) const { return {X(x), Y(y), X(cx), Y(cy)}; }

private:
    int m_nBaseX;
    int m_nBaseY;
};

// The template's font ("MS Sans Serif" 8, or the platform's substitute at the same size), sized in pixels from the
// screen's logical resolution the way the window system sizes it.
QFont DialogFont(const CDialogTemplate& dialogTemplate);

// Dialog template nTemplateId as embedded in the program (res/dialogs/<n>.dlg); nothing when it is missing or
// malformed.
std::optional<CDialogTemplate> LoadDialogTemplate(int nTemplateId);

// Turns a template into widgets on a dialog: the caption, the font, the window frame, the fixed client size, and
// one child widget per control at its converted position, in template order (which is the tab order; the first
// control lies on top of the others, as in the window system). Kinds become:
//   PUSHBUTTON CPushButton (clicks are reported by QAbstractButton::clicked; no Qt auto-default),
//   GROUPBOX QGroupBox, LABEL / ICON / PICTURE QLabel (labels: plain text, words wrap when two lines fit; all three let
//   mouse events through to the dialog), EDIT QLineEdit (NUMBER: a digits-only validator; READONLY: the dialog's
//   background), DROPDOWNLIST / DROPDOWN CComboBox (the field's own height; the list shows as many entries as
//   the template's dropped height holds), SPIN CSpinButtonCtrl (AUTOBUDDY: bound to the control before it;
//   ALIGNRIGHT: the buddy gives up the spin's width at its right edge), LISTVIEW CListCtrl, PROGRESS QProgressBar
//   (no text, range 0 to 100).
class CDialogBuilder {
public:
    CDialogBuilder(QWidget& dialog, const CDialogTemplate& dialogTemplate);

    // Builds the dialog; returns the controls in template order.
    std::vector<QWidget*> Build();
    const CDialogUnits& Units() const { return m_units; }

private:
    QWidget* Create(const CControlTemplate& control, QWidget* previous);

    QWidget& m_dialog;
    const CDialogTemplate& m_template;
    QFont m_font;
    CDialogUnits m_units;
};
