#include "window/FileDialog.h"

#include "window/common/Native.h"
#include "window/qt/QtWindow.h"

#include <QFile>
#include <QFileDialog>

std::optional<std::string> NativeSaveFileName(const CSaveQuestion& question, CWnd* pOwner) {
    // Qt reads a filter's patterns from the parentheses of its description; one that names them already is given
    // as it is. Qt's own dialog has no read-only box, so there is none to hide.
    QString strFilter = QtFromShown(question.strFilterName);
    const QString strPattern = QtFromShown(question.strFilterPattern);
    if (!strFilter.endsWith(QStringLiteral("(") + strPattern + QStringLiteral(")")))
        strFilter += QStringLiteral(" (") + strPattern + QStringLiteral(")");
    QFileDialog dialog(WidgetOf(pOwner));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(strFilter);
    dialog.setDefaultSuffix(QtFromShown(question.strDefaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !question.bConfirmReplace);
    if (!question.strInitialName.empty())
        dialog.selectFile(QtFromData(question.strInitialName));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return QFile::encodeName(files.front()).toStdString();
}
