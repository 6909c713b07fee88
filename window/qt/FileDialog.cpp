#include "window/FileDialog.h"

#include "window/common/Native.h"
#include "window/qt/QtWindow.h"

#include <QFile>
#include <QFileDialog>

namespace {

// Qt reads a filter's patterns from the parentheses of its description, separated by blanks; one that names them
// already is given as it is. Several patterns come in the program's terms as Windows writes them ("*.xml;*.csv"):
// a description that names them so names them Qt's way.
QString QtFilter(const std::string& strName, const std::string& strPattern) {
    QString strFilter = QtFromShown(strName);
    const QString strListed = QtFromShown(strPattern);
    const QString strQtPattern = QString(strListed).replace(u';', u' ');
    const QString strWindowsForm = QStringLiteral(" (") + strListed + QStringLiteral(")");
    if (strListed != strQtPattern && strFilter.endsWith(strWindowsForm))
        strFilter.chop(strWindowsForm.size());
    if (!strFilter.endsWith(QStringLiteral("(") + strQtPattern + QStringLiteral(")")))
        strFilter += QStringLiteral(" (") + strQtPattern + QStringLiteral(")");
    return strFilter;
}

} // namespace

std::optional<CSaveChoice> NativeSaveFileName(const CSaveQuestion& question, CWnd* pOwner) {
    // Qt's own dialog has no read-only box, so there is none to hide.
    QStringList filters{QtFilter(question.strFilterName, question.strFilterPattern)};
    for (const CSaveFileType& type : question.moreTypes)
        filters.append(QtFilter(type.strName, type.strPattern));
    QFileDialog dialog(WidgetOf(pOwner));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QtFromShown(question.strDefaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !question.bConfirmReplace);
    if (!question.strInitialName.empty())
        dialog.selectFile(QtFromData(question.strInitialName));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    // Qt may show a filter's description with its runs of blanks collapsed: the one chosen is found by its place.
    int nType = 0;
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (filters[i].simplified() == dialog.selectedNameFilter().simplified())
            nType = static_cast<int>(i);
    }
    return CSaveChoice(QFile::encodeName(files.front()).toStdString(), nType);
}

std::optional<std::string> NativeOpenFileName(const COpenQuestion& question, CWnd* pOwner) {
    QFileDialog dialog(WidgetOf(pOwner), QtFromShown(question.strTitle));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList filters;
    for (const CSaveFileType& type : question.types)
        filters.append(QtFilter(type.strName, type.strPattern));
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    // The path as the file system spells it.
    if (!question.strInitialPath.empty())
        dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(question.strInitialPath)));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return QFile::encodeName(files.front()).toStdString();
}
