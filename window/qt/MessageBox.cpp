#include "window/MessageBox.h"

#include "window/common/Native.h"
#include "window/qt/QtWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>

std::string NativeExecutablePath() {
    return QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
}

bool NativeMessageBox(const CMessageBoxShown& box, CWnd* pOwner) {
    QMessageBox dialog(QMessageBox::Warning, QtFromShown(box.strTitle), QtFromShown(box.strText),
                       box.bQuestion ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, WidgetOf(pOwner));
    dialog.setTextFormat(Qt::PlainText);
    if (box.bQuestion) {
        dialog.setDefaultButton(QMessageBox::No);
        dialog.setEscapeButton(QMessageBox::No);
    }
    return dialog.exec() == QMessageBox::Yes;
}
