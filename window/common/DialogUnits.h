#pragma once

// Dialog units of one font, measured the way the window system does: the horizontal base is the average width of
// "A".."Z" and "a".."z" rounded to whole pixels, the vertical base the height of the font. A horizontal unit is a
// quarter of the horizontal base, a vertical unit an eighth of the vertical base; each value is converted on its
// own, rounding halves up.
class CDialogUnits {
public:
    CDialogUnits(int nBaseX, int nBaseY) : m_nBaseX(nBaseX), m_nBaseY(nBaseY) {}

    // The horizontal base from the width of those 52 letters together.
    static int BaseXFromAlphabetWidth(int nAlphabetWidth) { return (nAlphabetWidth / 26 + 1) / 2; }

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }
    int X(int nUnits) const { return (nUnits * m_nBaseX + 2) / 4; }
    int Y(int nUnits) const { return (nUnits * m_nBaseY + 4) / 8; }

private:
    int m_nBaseX;
    int m_nBaseY;
};
