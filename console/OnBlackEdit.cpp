#include "console/OnBlackEdit.h"

bool COnBlackEdit::SubclassDlgItem(int nId, CDialog* pParent) {
    if (!CEdit::SubclassDlgItem(nId, pParent))
        return false;
    // The colours the control gives when the window system asks it before painting: its colour on a black text
    // background, and black for the rest of its area; also when it is inactive or disabled.
    SetColours(m_colourText, kBackground);
    return true;
}
