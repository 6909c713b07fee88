#pragma once

#include "window/Controls.h"

// An edit control whose text is drawn in one colour on black, such as the two digital displays of the main window.
// The edit is one of the dialog's own controls, taken over by SubclassDlgItem; its other manners (read-only,
// alignment, frame) stay as its template made them. Every other control keeps the system's colours.
class COnBlackEdit : public CEdit {
public:
    explicit COnBlackEdit(CColour colourText) : m_colourText(colourText) {}

    // Takes over the edit: from now on it paints its text in this colour and the rest of its area black.
    bool SubclassDlgItem(int nId, CDialog* pParent);

    static constexpr CColour kBackground = RGB(0, 0, 0);

private:
    CColour m_colourText;
};

// The large display (control 1001): green on black.
class CGreenOnBlackEdit : public COnBlackEdit {
public:
    CGreenOnBlackEdit() : COnBlackEdit(RGB(0, 255, 0)) {}
};

// The small display (control 1002): red on black.
class CRedOnBlackEdit : public COnBlackEdit {
public:
    CRedOnBlackEdit() : COnBlackEdit(RGB(255, 0, 0)) {}
};
