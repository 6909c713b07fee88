#include "window/FileDialog.h"

#include "window/common/Native.h"
#include "window/qt/QtWindow.h"

#include <QFile>
#include <QFileDialog>

namespace {

// Qt reads a filter's patterns from the parentheses of its description; one that names them already is given as it
// is.
QString QtFilter(const std::string& strName, const std::string& strPattern) {
    QString strFilter = QtFromShown(strName);
    const QString strQtPattern = QtFromShown(strPattern);
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
