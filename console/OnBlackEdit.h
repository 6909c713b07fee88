#pragma once

#include <QBrush>
#include <QColor>
#include <QPointer>
#include <QString>

class QFont;
class QLineEdit;

// An edit control whose text is drawn in one colour on black, such as the two digital displays of the main window.
// The edit is one of the dialog's own controls, taken over by SubclassDlgItem; its other manners (read-only,
// alignment, frame) stay as its template made them. Every other control keeps the system's colours.
class COnBlackEdit {
public:
    explicit COnBlackEdit(const QColor& colourText);
    virtual ~COnBlackEdit();
    COnBlackEdit(const COnBlackEdit&) = delete;
    COnBlackEdit& operator=(const COnBlackEdit&) = delete;

    // Takes over the edit: from now on it paints its text in this colour and the rest of its area black.
    void SubclassDlgItem(QLineEdit* edit);
    QLineEdit* Edit() const { return m_edit.data(); }

    QColor TextColour() const { return m_colourText; }
    const QBrush& BackgroundBrush() const { return m_brushBlack; }

    // The edit's text (shown from its start) and its font, redrawn at once.
    void SetWindowText(const QString& strText);
    QString GetWindowText() const;
    void SetFont(const QFont& font);

private:
    QColor m_colourText;
    QBrush m_brushBlack; // the solid black of the background, the edit's for as long as it lives
    QPointer<QLineEdit> m_edit;
};

// The large display (control 1001): green on black.
class CGreenOnBlackEdit : public COnBlackEdit {
public:
    CGreenOnBlackEdit();
    ~CGreenOnBlackEdit() override;
};

// The small display (control 1002): red on black.
class CRedOnBlackEdit : public COnBlackEdit {
public:
    CRedOnBlackEdit();
    ~CRedOnBlackEdit() override;
};
