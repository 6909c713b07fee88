#include "window/MessageBox.h"

#include "window/Text.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

} // namespace

QString ApplicationName() {
    return ApplicationNameFromPath(QCoreApplication::applicationFilePath());
}

QString ApplicationNameFromPath(const QString& strExecutablePath) {
    const QString strFile = QFileInfo(strExecutablePath).fileName();
    const qsizetype nDot = strFile.lastIndexOf(u'.');
    return nDot < 0 ? strFile : strFile.left(nDot);
}

void ShowMessageBox(const QString& strText, QWidget* parent) {
    const QString strTitle = ApplicationName();
    if (const MessageBoxHook hook = Hook()) {
        hook(strTitle, strText);
        return;
    }
    QMessageBox box(QMessageBox::Warning, strTitle, strText, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Reporter MessageBoxReporter(QWidget* parent) {
    return [owner = QPointer<QWidget>(parent)](const std::string& strMessage) {
        ShowMessageBox(ShownText(strMessage), owner.data());
    };
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    MessageBoxHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

CMessageBoxRecorder::CMessageBoxRecorder() {
    m_previous = SetMessageBoxHook([this](const QString& strTitle, const QString& strText) {
        m_entries.push_back({strTitle, strText});
    });
}

CMessageBoxRecorder::~CMessageBoxRecorder() {
    SetMessageBoxHook(std::move(m_previous));
}

std::vector<QString> CMessageBoxRecorder::Texts() const {
    std::vector<QString> texts;
    for (const auto& entry : m_entries)
        texts.push_back(entry.strText);
    return texts;
}
