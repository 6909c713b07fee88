#pragma once

// The Qt implementation's own types: what a CWnd, a CDialog and a CFont are made of, and the widgets that stand in
// for the window system's controls where a plain Qt widget does not behave like them. Nothing outside window/qt/
// (and its test driver) includes this.

#include "res/DialogTemplate.h"
#include "window/Dialog.h"
#include "window/common/AccessibleNames.h"
#include "window/common/DialogUnits.h"

#include <QComboBox>
#include <QDialog>
#include <QFont>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QTreeWidget>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CQtDialog;

// Texts between the layer's 8-bit strings (window/Text.h) and Qt's.
QString QtFromData(std::string_view bytes);
QString QtFromShown(std::string_view text);
std::string QtToData(const QString& strText);
// What a label without the no-prefix style shows: "&&" is one "&", a single "&" only marks the next character.
QString QtWithoutMnemonics(const QString& strText);
// Typing limited to nChars characters (any number for 0), and to digits for a digits-only edit; the program's
// texts stay whole.
void LimitTyping(QLineEdit& edit, bool bDigitsOnly, int nChars);

// The widget of a control or of a dialog, with what the window system keeps beside it.
struct CWnd::Impl {
    QPointer<QWidget> m_widget;
    EControlKind m_kind = EControlKind::Label;
    bool m_bDialog = false; // the dialog's own window: its text is the title
    int m_nId = 0;
    CDialog* m_pDialog = nullptr;
    QString m_strText; // the window text of controls that keep it without showing it (labels keep it as set)
    int m_nIconId = 0;
    CMonochromePicture m_picture; // pictures of the program's own: the one shown
    bool m_bNoPrefix = false;
    bool m_bDigitsOnly = false;
    // While above 0 the program is changing the control: the notifications that causes reach no handler.
    int m_nSetting = 0;
};

// Holds a control's notifications back while the program changes it.
class CProgramChange {
public:
    explicit CProgramChange(CWnd::Impl& impl) : m_impl(impl) { ++m_impl.m_nSetting; }
    ~CProgramChange() { --m_impl.m_nSetting; }
    CProgramChange(const CProgramChange&) = delete;
    CProgramChange& operator=(const CProgramChange&) = delete;

private:
    CWnd::Impl& m_impl;
};

struct CFont::Impl {
    QFont m_font;
};

struct CDialog::DialogImpl {
    CDialog& m_dialog;
    QPointer<CQtDialog> m_window; // deleted with the DialogImpl (or earlier with a parent window Qt deletes)
    CWnd::Impl m_self;            // the dialog's own window, the CWnd face of CDialog
    std::vector<std::unique_ptr<CWnd::Impl>> m_controls;
    CDialogUnits m_units{1, 1};
    std::vector<CNameSource> m_nameSources; // what names each control for a screen reader, in template order
    std::map<int, QTimer*> m_timers;

    explicit DialogImpl(CDialog& dialog) : m_dialog(dialog) {}
    ~DialogImpl();
    QTimer& TimerFor(int nId);
};

// The dialog's window: it hands the user's keys, the close box and Qt's own ways of ending to the CDialog.
class CQtDialog : public QDialog {
    Q_OBJECT
public:
    CQtDialog(CDialog& dialog, QWidget* parent);

    CDialog& Owner() const { return m_dialog; }
    void accept() override;
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CDialog& m_dialog;
};

// A push button; flat buttons keep a thin frame (a flat Qt button alone would have none), and a multi-line button
// wraps its caption onto several lines.
class CQtPushButton : public QPushButton {
    Q_OBJECT
public:
    explicit CQtPushButton(QWidget* parent = nullptr);
    void SetMultiLine(bool bMultiLine);
    bool IsMultiLine() const { return m_bMultiLine; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_bMultiLine = false;
};

// A drop-down list or a drop-down with edit that adds entries at their sorted place when it sorts. A choice by the
// user emits activated(); a change made by the program does not.
class CQtComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CQtComboBox(QWidget* parent = nullptr);

    void SetSorted(bool bSorted) { m_bSorted = bSorted; }
    bool IsSorted() const { return m_bSorted; }
    int AddString(const QString& strText);
    void SetCurSel(int nIndex);

private:
    bool m_bSorted = false;
};

// The up-down control (Controls.h, CSpinButtonCtrl, says how it steps).
class CQtSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit CQtSpinButton(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* buddy);
    QLineEdit* GetBuddy() const { return m_buddy.data(); }
    void SetBuddyInt(bool bSetBuddyInt) { m_bSetBuddyInt = bSetBuddyInt; }
    void SetArrowKeys(bool bArrowKeys);

    void SetRange(int nLower, int nUpper);
    int Lower() const { return m_nLower; }
    int Upper() const { return m_nUpper; }
    int SetPos(int nPos);
    int GetPos() const { return m_nPos; }
    // One step as the user makes it: +1 towards the upper end, -1 towards the lower end.
    void Step(int nDirection);

    QSize sizeHint() const override;

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

// A list in report view. ItemStateChanged reports, row by row, each change of a row's selected and focused state,
// the losses before the gains, whoever made it; the CListCtrl face passes on only the user's.
class CQtListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CQtListView(QWidget* parent = nullptr);

    int InsertColumn(int nColumn, const QString& strHeading, Qt::Alignment alignment, int nWidthPixels);
    int InsertItem(int nRow, const QString& strText);
    bool SetItemText(int nRow, int nColumn, const QString& strText);
    QString GetItemText(int nRow, int nColumn) const;
    int GetItemCount() const { return topLevelItemCount(); }
    int GetItemState(int nRow) const;
    void SetItemState(int nRow, int nState, int nMask);
    void SetShowSelectionAlways(bool bAlways);

signals:
    void ItemStateChanged(int nRow, int nOldState, int nNewState);

private:
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void OnCurrentChanged(const QModelIndex& current, const QModelIndex& previous);

    QList<Qt::Alignment> m_alignments; // per column
};

// Builds a template's controls on the dialog's window (DialogBuilder.cpp).
std::vector<std::unique_ptr<CWnd::Impl>> BuildControls(CDialog::DialogImpl& dialog,
                                                       const CDialogTemplate& dialogTemplate);

// The template's font ("MS Sans Serif" 8, or the platform's substitute at the same size), sized in pixels from the
// screen's logical resolution the way the window system sizes it, and its dialog units.
QFont DialogFont(const CDialogTemplate& dialogTemplate);
CDialogUnits UnitsOfFont(const QFont& font);

// ---- Accessibility (Accessibility.cpp): what a screen reader hears of the controls.

// Names the dialog's controls by the rule of window/common/AccessibleNames.h: a label becomes the buddy of the
// control it names (Qt's labelled-by relation), every control named by a label or group box takes that text as its
// accessible name, except a drop-down, whose name stays its entry (the edit field of a drop-down with edit takes the
// text instead), and each lamp says its state.
void NameControls(CDialog::DialogImpl& dialog);
// The names again, after the text of a label or group box changed.
void RenameControls(CDialog::DialogImpl& dialog);
// A lamp's state as its accessible description ("red", "green", "yellow", "off"); nothing for other icons.
void DescribeLamp(CWnd::Impl& impl);
// Shows a label's window text as the window system shows it (a single '&' only marks the next character unless the
// label has the no-prefix style), also when the label is the buddy of a control, which makes Qt read '&' itself.
void ShowLabelText(CWnd::Impl& impl);

// The widget of a control object; null when it is not attached.
inline QWidget* WidgetOf(const CWnd* wnd) {
    return wnd && wnd->GetImpl() ? wnd->GetImpl()->m_widget.data() : nullptr;
}
// The CWnd object of the control whose widget this is (or contains), within its dialog; null otherwise.
CWnd* ControlOfWidget(const CDialog& dialog, const QWidget* widget);
