#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QTreeWidget>

class QLabel;

// The controls that the dialog builder creates where a plain Qt widget does not behave like the window system's
// control, and the helpers that treat every built control alike.
//
// Every control built from a template carries its identifier as the dynamic property "controlId" and the object
// name "id<n>" (labels without an identifier of their own: -1, "id-1"), and its kind as "controlKind".

inline constexpr const char* kControlIdProperty = "controlId";
inline constexpr const char* kControlKindProperty = "controlKind";

// The control identifier of a widget, or 0 when it was not built from a template.
int ControlId(const QWidget* control);

// The window text of a control, the way the window system sees it: the caption of a button or group box, the text
// of a label (a label without the no-prefix style shows "&&" as "&" and drops a single "&"), the contents of an
// edit, the edit text of a drop-down with edit. Always plain text, never markup. Other controls (drop-down lists,
// lists, icons, pictures, spins, progress bars) keep the text without showing it, so setting it changes nothing
// on the screen.
void SetControlText(QWidget* control, const QString& strText);
QString ControlText(const QWidget* control);

// Shows icon nIconId (Resources.h) in an icon control; StaticIconId tells which one it shows (0: none). Setting the
// icon it already shows changes nothing and repaints nothing.
void SetStaticIcon(QLabel* control, int nIconId);
int StaticIconId(const QWidget* control);

// A push button; flat buttons keep a thin frame (a flat Qt button alone would have none), and a multi-line button
// wraps its caption onto several lines.
class CPushButton : public QPushButton {
    Q_OBJECT
public:
    explicit CPushButton(QWidget* parent = nullptr);
    void SetMultiLine(bool bMultiLine);
    bool IsMultiLine() const { return m_bMultiLine; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_bMultiLine = false;
};

// A drop-down list or a drop-down with edit. Entries added with AddString go to their sorted place when the
// template gives the list the sort style (compared without regard to case, equal texts in the order of adding),
// else to the end. Qt's own addItem/insertItem never sort. A choice by the user emits activated(); a change made
// by the program (SetCurSel, setCurrentIndex) does not.
class CComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CComboBox(QWidget* parent = nullptr);

    void SetSorted(bool bSorted) { m_bSorted = bSorted; }
    bool IsSorted() const { return m_bSorted; }
    // Adds an entry and returns its position.
    int AddString(const QString& strText);
    // The selected position, -1 when none.
    int GetCurSel() const { return currentIndex(); }
    // Selects position nIndex; a position outside the list leaves no selection.
    void SetCurSel(int nIndex);

private:
    bool m_bSorted = false;
};

// An up-down control bound to an edit (its "buddy"). It steps its position by one per click or auto-repeat
// (upper half: towards the upper end of the range, lower half: towards the lower end), stops at the ends of the
// range, and writes each new position into the buddy as a whole number when it was built with SETBUDDYINT. With
// ARROWKEYS the Up and Down keys in the buddy step it as well. Before each step it takes its position from the
// buddy's text when that is a whole number inside the range; a text typed beyond the range is kept until the
// next step. Range 0 to 100, position 0 until the owner sets them.
class CSpinButtonCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButtonCtrl(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* buddy);
    QLineEdit* GetBuddy() const { return m_buddy.data(); }
    void SetBuddyInt(bool bSetBuddyInt) { m_bSetBuddyInt = bSetBuddyInt; }
    void SetArrowKeys(bool bArrowKeys);

    void SetRange(int nLower, int nUpper);
    int Lower() const { return m_nLower; }
    int Upper() const { return m_nUpper; }
    // Sets the position, kept inside the range, writes it into the buddy and returns the previous one.
    int SetPos(int nPos);
    int GetPos() const { return m_nPos; }
    // One step as the user makes it: +1 towards the upper end, -1 towards the lower end.
    void Step(int nDirection);

    QSize sizeHint() const override;

signals:
    // After a step made by the user (mouse or arrow key).
    void PositionChanged(int nPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int Clamp(int nPos) const;
    void WriteBuddy();
    void Repeat();

    QPointer<QLineEdit> m_buddy;
    bool m_bSetBuddyInt = false;
    bool m_bArrowKeys = false;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nPos = 0;
    int m_nPressed = 0; // direction of the arrow held down, 0 when none
    QTimer m_repeat;
};

// A list in report view: a header with columns and rows of text cells, whole rows selected. Rows and columns are
// numbered from 0. ItemStateChanged reports, row by row, each change of a row's selected and focused state, the
// losses before the gains, whether the user or the program made it.
class CListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kStateFocused = 1;
    static constexpr int kStateSelected = 2;

    explicit CListCtrl(QWidget* parent = nullptr);

    // Appends a column; nColumn must be the current column count. Returns the column or -1.
    int InsertColumn(int nColumn, const QString& strHeading, Qt::Alignment alignment, int nWidthPixels);
    // Inserts a row with column 0's text before row nRow (at the end when nRow is beyond it); returns its row.
    int InsertItem(int nRow, const QString& strText);
    bool SetItemText(int nRow, int nColumn, const QString& strText);
    QString GetItemText(int nRow, int nColumn) const; // empty outside the list
    int GetItemCount() const { return topLevelItemCount(); }
    void DeleteAllItems();
    // The selected and focused state bits of a row.
    int GetItemState(int nRow) const;
    // Selects (or deselects) a row and, with bFocus, makes it the focused row, as the owner's program does.
    void SetItemState(int nRow, bool bSelected, bool bFocus);
    // Shows the selection also while the list does not have the focus.
    void SetShowSelectionAlways(bool bAlways);

signals:
    void ItemStateChanged(int nRow, int nOldState, int nNewState);

private:
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous);

    QList<Qt::Alignment> m_alignments; // per column
};
