#include "console/OnBlackEdit.h"

#include <QLineEdit>
#include <QPalette>

namespace {

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

} // namespace

COnBlackEdit::COnBlackEdit(const QColor& colourText)
    : m_colourText(colourText), m_brushBlack(kBlack, Qt::SolidPattern) {}

COnBlackEdit::~COnBlackEdit() = default;

void COnBlackEdit::SubclassDlgItem(QLineEdit* edit) {
    m_edit = edit;
    if (!edit)
        return;
    // The colours the window system would ask the control for before it paints: the text in its colour on a black
    // text background, and the black brush for the rest of its area. Also when it is inactive or disabled.
    QPalette colours = edit->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Text, m_colourText);
        colours.setBrush(group, QPalette::Base, m_brushBlack);
        colours.setBrush(group, QPalette::Window, m_brushBlack);
    }
    edit->setPalette(colours);
    edit->update();
}

void COnBlackEdit::SetWindowText(const QString& strText) {
    // The text it already shows costs no repaint: the live stream repeats its fields ten times a second.
    if (!m_edit || (m_edit->text() == strText && m_edit->cursorPosition() == 0))
        return;
    m_edit->setText(strText);
    m_edit->setCursorPosition(0);
}

QString COnBlackEdit::GetWindowText() const {
    return m_edit ? m_edit->text() : QString();
}

void COnBlackEdit::SetFont(const QFont& font) {
    if (!m_edit)
        return;
    m_edit->setFont(font);
    m_edit->repaint();
}

CGreenOnBlackEdit::CGreenOnBlackEdit() : COnBlackEdit(kGreen) {}

CGreenOnBlackEdit::~CGreenOnBlackEdit() = default;

CRedOnBlackEdit::CRedOnBlackEdit() : COnBlackEdit(kRed) {}

CRedOnBlackEdit::~CRedOnBlackEdit() = default;
