#include "memory/ReadMemoryDlg.h"
#include "tests/support/DialogTesting.h"

#include "base/Files.h"
#include "i18n/Language.h"
#include "res/Resource.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "window/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <optional>
#include <termios.h>

using namespace std::chrono_literals;

namespace {

constexpr int kPeerPort = 4;
constexpr auto kCommandWait = 2000ms;
// Long enough for any line already sent to reach the list (the timer drains every 100 ms).
constexpr int kSettleMs = 400;

// The read memory dialog with the save dialog and the replace question replaced where a test asks for it.
class CTestReadMemoryDlg : public CReadMemoryDlg {
public:
    std::optional<QString> m_strExportPath; // the name "chosen" in the save dialog; none: the real dialog
    std::optional<bool> m_bReplace;         // the answer to the replace question; none: the real question
    int m_nExportDialogs = 0;
    QStringList m_asked; // the files the replace question was asked about

protected:
    QString GetExportPath() override {
        ++m_nExportDialogs;
        return m_strExportPath ? *m_strExportPath : CReadMemoryDlg::GetExportPath();
    }
    bool ConfirmReplace(const QString& strPath) override {
        m_asked << QFileInfo(strPath).fileName();
        return m_bReplace ? *m_bReplace : CReadMemoryDlg::ConfirmReplace(strPath);
    }
};

// Every cell that holds text, as "row,column=text", row by row.
QStringList FilledCells(const CReadMemoryDlg& dialog) {
    QStringList cells;
    for (int nRow = 0; nRow < dialog.m_listMemory.GetItemCount(); ++nRow) {
        for (int nColumn = 0; nColumn < dialog.m_listMemory.columnCount(); ++nColumn) {
            const QString strText = dialog.m_listMemory.GetItemText(nRow, nColumn);
            if (!strText.isEmpty())
                cells << QStringLiteral("%1,%2=%3").arg(nRow).arg(nColumn).arg(strText);
        }
    }
    return cells;
}

QString Cell(const CReadMemoryDlg& dialog, int nRow, int nColumn) {
    return dialog.m_listMemory.GetItemText(nRow, nColumn);
}

QByteArray FileBytes(const QString& strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

// The entries of a directory as "name=contents" (a directory as "name/"), sorted by name.
QStringList FilesIn(const QString& strDirectory) {
    QStringList files;
    for (const QFileInfo& info :
         QDir(strDirectory).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        files << info.fileName() + (info.isDir() ? "/" : "=" + QString::fromLatin1(FileBytes(info.filePath())));
    return files;
}

speed_t LineSpeed(const CPtyPeer& peer) {
    termios settings{};
    // The master reports the settings of the program's end.
    if (::tcgetattr(peer.MasterHandle(), &settings) != 0)
        return B0;
    return ::cfgetospeed(&settings);
}

} // namespace

class CReadMemoryDlgTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { LoadLanguage("none-loaded"); }

    // Without a device: the link reports the port once, and the dialog opens all the same with its blank table.
    void opensWithoutADevice() {
        CExecutableDirectory directory;
        WriteSettings(directory, 9, 2);
        CMessageBoxRecorder messages;
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QVERIFY(dialog.isVisible());
        QCOMPARE(messages.Texts(), std::vector<QString>{"Can't open COM port"});
        QCOMPARE(messages.Entries().front().strTitle, ApplicationName());
        QCOMPARE(dialog.windowTitle(), QString("Read Memory Dialog"));
        QCOMPARE(dialog.m_nPort, 9);
        QCOMPARE(dialog.m_nBaudRate, 9600);
        QVERIFY(!dialog.m_link.IsOpen());

        CListCtrl& list = dialog.m_listMemory;
        QCOMPARE(&list, dialog.Item<CListCtrl>(IDC_MEMORY_LIST));
        QCOMPARE(list.columnCount(), 3);
        const QStringList headings{"Start No", "Start Time", "Lead Time"};
        const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight};
        const int widths[] = {60, 85, 65};
        for (int nColumn = 0; nColumn < 3; ++nColumn) {
            QCOMPARE(list.headerItem()->text(nColumn), headings[nColumn]);
            QCOMPARE(Qt::Alignment(list.headerItem()->textAlignment(nColumn)) & Qt::AlignHorizontal_Mask,
                     alignments[nColumn]);
            QCOMPARE(list.header()->sectionSize(nColumn), widths[nColumn]);
        }
        QCOMPARE(list.selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(list.GetItemCount(), kMemoryRows);
        QCOMPARE(FilledCells(dialog), QStringList());
        QVERIFY(dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer));

        // Commands on the unopened link are lost without a message; saving writes the empty list.
        ClickButton(dialog, IDC_READ_MEMORY_AGAIN);
        ClickButton(dialog, IDC_CLEAR_MEMORY);
        dialog.m_strExportPath = QString::fromStdString(directory.File("empty"));
        ClickButton(dialog, IDC_SAVE_TO_FILE);
        QCOMPARE(FileBytes(QString::fromStdString(directory.File("empty.txt"))), QByteArray());
        QCOMPARE(messages.Texts().size(), std::size_t{1});
        QCOMPARE(list.GetItemCount(), kMemoryRows);
    }

    // Three stored starts, read as the dialog opens: the entries in arrival order, each cell from its columns.
    void showsTheStoredStartsOfTheDevice() {
        CExecutableDirectory directory;
        WriteSettings(directory, 5, 2);
        CSimProcess device(directory.Path(), {"--com", "5", "--memory", "3", "--frozen", "--clock", "12:00:00"});
        CMessageBoxRecorder messages;
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QTRY_COMPARE(FilledCells(dialog),
                     (QStringList{"0,0=0001", "0,1= 11:55:30.37", "0,2=0:01:30", "1,0=0002", "1,1= 11:57:00.74",
                                  "1,2=0:01:30", "2,0=0003", "2,1= 11:58:30.11", "2,2=0:01:29"}));
        QCOMPARE(dialog.m_listMemory.GetItemCount(), kMemoryRows);
        QVERIFY(messages.Texts().empty());
        // No end-of-list line: the dialog keeps draining.
        QVERIFY(dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer));
    }

    void emptyMemoryShowsTheNoticeAndSavesAnEmptyFile() {
        CExecutableDirectory directory;
        WriteSettings(directory, 5, 2);
        CSimProcess device(directory.Path(), {"--com", "5", "--memory", "0"});
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QTRY_COMPARE(FilledCells(dialog), (QStringList{"5,1=Memory is", "6,1=Empty!"}));
        dialog.m_strExportPath = QString::fromStdString(directory.File("none"));
        ClickButton(dialog, IDC_SAVE_TO_FILE);
        QVERIFY(QFileInfo::exists(QString::fromStdString(directory.File("none.txt"))));
        QCOMPARE(FileBytes(QString::fromStdString(directory.File("none.txt"))), QByteArray());
    }

    void clearMemoryThenReadMemory() {
        CExecutableDirectory directory;
        WriteSettings(directory, 5, 2);
        CSimProcess device(directory.Path(), {"--com", "5", "--memory", "3", "--frozen"});
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QTRY_COMPARE(Cell(dialog, 2, 0), QString("0003"));
        ClickButton(dialog, IDC_CLEAR_MEMORY);
        QTRY_COMPARE(FilledCells(dialog), (QStringList{"5,1=Memory", "6,1=Cleared!"}));
        ClickButton(dialog, IDC_READ_MEMORY_AGAIN);
        QTRY_COMPARE(FilledCells(dialog), (QStringList{"5,1=Memory is", "6,1=Empty!"}));
    }

    // The 501st entry has no row: it is neither shown nor saved, and nothing says so.
    void entriesBeyondRow499AreNeitherShownNorSaved() {
        CExecutableDirectory directory;
        WriteSettings(directory, 5, 2);
        CSimProcess device(directory.Path(), {"--com", "5", "--memory", "501", "--frozen"});
        CMessageBoxRecorder messages;
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QTRY_COMPARE_WITH_TIMEOUT(Cell(dialog, 499, 0), QString("0500"), 15000);
        QTest::qWait(kSettleMs);
        QCOMPARE(Cell(dialog, 499, 0), QString("0500"));
        QCOMPARE(Cell(dialog, 498, 0), QString("0499"));
        QCOMPARE(dialog.m_listMemory.GetItemCount(), kMemoryRows);
        QVERIFY(messages.Texts().empty());

        dialog.m_strExportPath = QString::fromStdString(directory.File("all.txt"));
        ClickButton(dialog, IDC_SAVE_TO_FILE);
        const QByteArray bytes = FileBytes(QString::fromStdString(directory.File("all.txt")));
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), kMemoryRows + 1); // the last split is the empty rest after the final line feed
        QVERIFY(lines.front().startsWith("0001 "));
        QVERIFY(lines[kMemoryRows - 1].startsWith("0500 "));
        QCOMPARE(bytes.count("\r\n"), qsizetype{kMemoryRows});
        QCOMPARE(bytes.size(), qsizetype{kMemoryRows * 27});
    }

    // What the device sends, and every cell that holds text afterwards.
    void repliesFillTheList_data() {
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<QStringList>("cells");
        // Columns 2-5, 10-21 and 25-31 are shown; the x, y and z in between and after are not.
        QTest::newRow("entry columns") << QByteArray("M?0012xxxx 12:34:56.78yyy0:01:30zz\r")
                                       << QStringList{"0,0=0012", "0,1= 12:34:56.78", "0,2=0:01:30"};
        QTest::newRow("arrival order") << QByteArray("M?0003\rM?0001\rM?0002\r")
                                       << QStringList{"0,0=0003", "1,0=0001", "2,0=0002"};
        QTest::newRow("short lines") << QByteArray("M?12\rM?0002    12:3\rM?0003    123456789012yyy0:0\r")
                                     << QStringList{"0,0=12",   "1,0=0002",         "1,1=12:3",
                                                    "2,0=0003", "2,1=123456789012", "2,2=0:0"};
        QTest::newRow("bare M? takes a row") << QByteArray("M?\rM?0002\r") << QStringList{"1,0=0002"};
        QTest::newRow("empty memory") << QByteArray("M?EMPTY\r") << QStringList{"5,1=Memory is", "6,1=Empty!"};
        QTest::newRow("empty with more") << QByteArray("M?EMPTY, REALLY\r")
                                         << QStringList{"5,1=Memory is", "6,1=Empty!"};
        QTest::newRow("lower case is an entry") << QByteArray("M?empty\r") << QStringList{"0,0=empt"};
        QTest::newRow("shorter is an entry") << QByteArray("M?EMPT\r") << QStringList{"0,0=EMPT"};
        QTest::newRow("empty notice between entries")
            << QByteArray("M?0001\rM?EMPTY\rM?0002\r")
            << QStringList{"0,0=0001", "1,0=0002", "5,1=Memory is", "6,1=Empty!"};
        // An entry in row 5 sets all three of its cells, the notice's included.
        QTest::newRow("entries over the notice")
            << QByteArray("M?EMPTY\rM?0001\rM?0002\rM?0003\rM?0004\rM?0005\rM?0006\r")
            << QStringList{"0,0=0001", "1,0=0002", "2,0=0003", "3,0=0004", "4,0=0005", "5,0=0006", "6,1=Empty!"};
        QTest::newRow("other lines dropped")
            << QByteArray("X?0001\rm?0001\r M?0001\r\rM\rE\rS? 12:00\rM?0009\r") << QStringList{"0,0=0009"};
        // The erase resets the list but not the row counter.
        QTest::newRow("erased after entries")
            << QByteArray("M?0001\rM?0002\rE?\rM?0003\r") << QStringList{"2,0=0003", "5,1=Memory", "6,1=Cleared!"};
        QTest::newRow("erased with more") << QByteArray("M?0001\rE?xyz\r") << QStringList{"5,1=Memory", "6,1=Cleared!"};
    }
    void repliesFillTheList() {
        QFETCH(QByteArray, device);
        QFETCH(QStringList, cells);
        CExecutableDirectory directory;
        WriteSettings(directory, kPeerPort, 2);
        CPtyPeer peer;
        peer.LinkAsPort(directory.Path(), kPeerPort);
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QCOMPARE(peer.ReadUntil(3, kCommandWait), std::string("?M\r"));
        QVERIFY(peer.Write(device.toStdString()));
        QTRY_COMPARE(FilledCells(dialog), cells);
        QCOMPARE(dialog.m_listMemory.GetItemCount(), kMemoryRows);
    }

    // Clear Memory only sends the erase; the device's "E?" clears the list; Read Memory starts again at row 0, even
    // while an earlier reply is still arriving.
    void eraseAndReadAgainOverTheLine() {
        CExecutableDirectory directory;
        WriteSettings(directory, kPeerPort, 2);
        CPtyPeer peer;
        peer.LinkAsPort(directory.Path(), kPeerPort);
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QCOMPARE(peer.ReadUntil(3, kCommandWait), std::string("?M\r"));
        QVERIFY(peer.Write("M?0001\rM?0002\r"));
        QTRY_COMPARE(FilledCells(dialog), (QStringList{"0,0=0001", "1,0=0002"}));

        ClickButton(dialog, IDC_CLEAR_MEMORY);
        QCOMPARE(peer.ReadUntil(3, kCommandWait), std::string("?E\r"));
        QTest::qWait(kSettleMs);
        QCOMPARE(FilledCells(dialog), (QStringList{"0,0=0001", "1,0=0002"}));
        QVERIFY(peer.Write("E?\r"));
        QTRY_COMPARE(FilledCells(dialog), (QStringList{"5,1=Memory", "6,1=Cleared!"}));
        QVERIFY(peer.Write("M?0003\r")); // late, and after the erase: the row counter went on
        QTRY_COMPARE(FilledCells(dialog), (QStringList{"2,0=0003", "5,1=Memory", "6,1=Cleared!"}));

        ClickButton(dialog, IDC_READ_MEMORY_AGAIN);
        QCOMPARE(FilledCells(dialog), QStringList());
        QCOMPARE(dialog.m_listMemory.GetItemCount(), kMemoryRows);
        QCOMPARE(peer.ReadUntil(3, kCommandWait), std::string("?M\r"));
        QVERIFY(peer.Write("M?0004\rM?0005\r"));
        QTRY_COMPARE(FilledCells(dialog), (QStringList{"0,0=0004", "1,0=0005"}));
        ClickButton(dialog, IDC_READ_MEMORY_AGAIN);
        QVERIFY(peer.Write("M?0006\r"));
        QTRY_COMPARE(FilledCells(dialog), (QStringList{"0,0=0006"}));
        QCOMPARE(peer.ReadFor(100ms), std::string("?M\r"));
    }

    // Entries from full-length lines: 4 + 1 + 12 + 1 + 7 characters and CR LF per row, bytes as the device sent
    // them; the export ends before the first row without a start number.
    void exportWritesTheRowsByteForByte() {
        CExecutableDirectory directory;
        WriteSettings(directory, kPeerPort, 2);
        CPtyPeer peer;
        peer.LinkAsPort(directory.Path(), kPeerPort);
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QCOMPARE(peer.ReadUntil(3, kCommandWait), std::string("?M\r"));
        QVERIFY(peer.Write("M?0001xxxx 09:05:01.25yyy0:00:00zz\r"
                           "M?0002      9:06:31.62   0:01:30\r"
                           "M?0013    123456789012   1234567\r"
                           "M?0014    12:00:00.0\xE9\xB0   0:00:01\r"
                           "M?\r"
                           "M?0016      9:10:00.00   0:00:10\r"));
        QTRY_COMPARE(Cell(dialog, 5, 0), QString("0016"));
        dialog.m_strExportPath = QString::fromStdString(directory.File("starts.txt"));
        ClickButton(dialog, IDC_SAVE_TO_FILE);
        const QByteArray expected("0001  09:05:01.25 0:00:00\r\n"
                                  "0002   9:06:31.62 0:01:30\r\n"
                                  "0013 123456789012 1234567\r\n"
                                  "0014 12:00:00.0\xE9\xB0 0:00:01\r\n");
        QCOMPARE(FileBytes(QString::fromStdString(directory.File("starts.txt"))), expected);
        QCOMPARE(expected.size(), qsizetype{4 * 27});
    }

    // The name chosen in the save dialog, the files already there, the answer to the replace question; the
    // questions asked and the files afterwards.
    void exportFileName_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("existing"); // each holds "old"
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QStringList>("files");
        const QString strNew = "0001   9:05:01.25 0:00:00\r\n";
        // clang-format off
        QTest::newRow("gains .txt")            << "starts"     << QStringList{}             << true  << QStringList{}
                                               << QStringList{"starts.txt=" + strNew};
        // The save dialog asked about this very name: no second .txt, no second question.
        QTest::newRow("ends in .txt")          << "starts.txt" << QStringList{"starts.txt"} << true  << QStringList{}
                                               << QStringList{"starts.txt=" + strNew};
        QTest::newRow("ends in .TXT")          << "Starts.TXT" << QStringList{}             << true  << QStringList{}
                                               << QStringList{"Starts.TXT=" + strNew};
        QTest::newRow("other extension")       << "starts.csv" << QStringList{"starts.csv"} << true  << QStringList{}
                                               << QStringList{"starts.csv=old", "starts.csv.txt=" + strNew};
        // The appended name is a file the user was not asked about.
        QTest::newRow("appended name refused") << "starts"     << QStringList{"starts.txt"} << false << QStringList{"starts.txt"}
                                               << QStringList{"starts.txt=old"};
        QTest::newRow("appended name replaced") << "starts"    << QStringList{"starts.txt"} << true  << QStringList{"starts.txt"}
                                               << QStringList{"starts.txt=" + strNew};
        QTest::newRow("chosen file untouched") << "starts"     << QStringList{"starts"}     << false << QStringList{}
                                               << QStringList{"starts=old", "starts.txt=" + strNew};
        // clang-format on
    }
    void exportFileName() {
        QFETCH(QString, chosen);
        QFETCH(QStringList, existing);
        QFETCH(bool, replace);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, files);
        CExecutableDirectory directory;
        WriteSettings(directory, kPeerPort, 2);
        const QString strOut = QString::fromStdString(directory.File("out"));
        QVERIFY(QDir().mkdir(strOut));
        for (const QString& strName : existing)
            QVERIFY(WriteFileReplacing((strOut + "/" + strName).toStdString(), "old"));
        CPtyPeer peer;
        peer.LinkAsPort(directory.Path(), kPeerPort);
        CMessageBoxRecorder messages;
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QCOMPARE(peer.ReadUntil(3, kCommandWait), std::string("?M\r"));
        QVERIFY(peer.Write("M?0001      9:05:01.25   0:00:00\r"));
        QTRY_COMPARE(Cell(dialog, 0, 0), QString("0001"));

        dialog.m_strExportPath = strOut + "/" + chosen;
        dialog.m_bReplace = replace;
        ClickButton(dialog, IDC_SAVE_TO_FILE);
        QCOMPARE(dialog.m_asked, asked);
        QCOMPARE(FilesIn(strOut), files);
        QVERIFY(messages.Texts().empty());
    }

    void cancelWritesNothing() {
        CExecutableDirectory directory;
        const QString strOut = QString::fromStdString(directory.File("out"));
        QVERIFY(QDir().mkdir(strOut));
        CMessageBoxRecorder messages;
        CTestReadMemoryDlg dialog;
        dialog.Create();
        dialog.m_strExportPath = QString();
        ClickButton(dialog, IDC_SAVE_TO_FILE);
        QCOMPARE(dialog.m_nExportDialogs, 1);
        QCOMPARE(FilesIn(strOut), QStringList());
        QCOMPARE(messages.Texts(), std::vector<QString>{"Can't open COM port"});
        QVERIFY(dialog.isVisible());
    }

    // A file that cannot be made: the message, nothing written, the dialog and its list as they were.
    void cantOpenFile_data() {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("missing directory") << "missing/starts";
        QTest::newRow("a directory") << "folder.txt";
    }
    void cantOpenFile() {
        QFETCH(QString, chosen);
        CExecutableDirectory directory;
        WriteSettings(directory, kPeerPort, 2);
        const QString strOut = QString::fromStdString(directory.File("out"));
        QVERIFY(QDir().mkpath(strOut + "/folder.txt"));
        CPtyPeer peer;
        peer.LinkAsPort(directory.Path(), kPeerPort);
        CMessageBoxRecorder messages;
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QCOMPARE(peer.ReadUntil(3, kCommandWait), std::string("?M\r"));
        QVERIFY(peer.Write("M?0001      9:05:01.25   0:00:00\r"));
        QTRY_COMPARE(Cell(dialog, 0, 0), QString("0001"));
        const QStringList before = FilledCells(dialog);

        dialog.m_strExportPath = strOut + "/" + chosen;
        ClickButton(dialog, IDC_SAVE_TO_FILE);
        QCOMPARE(messages.Texts(), std::vector<QString>{"Can't open file!"});
        QCOMPARE(messages.Entries().front().strTitle, ApplicationName());
        QCOMPARE(FilesIn(strOut), QStringList{"folder.txt/"});
        QVERIFY(QDir(strOut + "/folder.txt").isEmpty());
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.IsEnded());
        QVERIFY(dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer));
        QCOMPARE(FilledCells(dialog), before);
    }

    // The real save dialog: one filter, no default extension, no initial name, the replace question on.
    void saveDialogAsTheUserSeesIt_data() {
        QTest::addColumn<bool>("accept");
        QTest::newRow("save") << true;
        QTest::newRow("cancel") << false;
    }
    void saveDialogAsTheUserSeesIt() {
        QFETCH(bool, accept);
        CExecutableDirectory directory;
        const QString strOut = QString::fromStdString(directory.File("out"));
        QVERIFY(QDir().mkdir(strOut));
        CMessageBoxRecorder messages; // no device
        CTestReadMemoryDlg dialog;
        dialog.Create();

        QStringList filters;
        QString strSuffix = "(not seen)";
        QString strInitialName = "(not seen)";
        bool bAsksBeforeReplacing = false;
        bool bSaving = false;
        WhenModalOpens<QFileDialog>(&dialog, [&, accept](QFileDialog* files) {
            filters = files->nameFilters();
            strSuffix = files->defaultSuffix();
            bAsksBeforeReplacing = !files->testOption(QFileDialog::DontConfirmOverwrite);
            bSaving = files->acceptMode() == QFileDialog::AcceptSave;
            auto* name = files->findChild<QLineEdit*>("fileNameEdit");
            if (name)
                strInitialName = name->text();
            files->setDirectory(strOut);
            if (!accept) {
                files->reject();
            } else if (name) { // as the user types it
                QTest::keyClicks(name, "starts");
                QTest::keyClick(name, Qt::Key_Return);
            } else {
                files->selectFile("starts");
                static_cast<QDialog*>(files)->accept();
            }
        });
        ClickButton(dialog, IDC_SAVE_TO_FILE);

        // The program hands over "Configuration File  (*.txt)"; Qt's dialog shows every description with its runs
        // of blanks collapsed.
        QCOMPARE(filters, QStringList{"Configuration File (*.txt)"});
        QCOMPARE(strSuffix, QString());
        QCOMPARE(strInitialName, QString());
        QVERIFY(bAsksBeforeReplacing);
        QVERIFY(bSaving);
        QCOMPARE(FilesIn(strOut), accept ? QStringList{"starts.txt="} : QStringList{});
    }

    // The question for an appended name that exists, as the user sees it.
    void replaceQuestionAsTheUserSeesIt_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No") << false;
        QTest::newRow("Yes") << true;
    }
    void replaceQuestionAsTheUserSeesIt() {
        QFETCH(bool, yes);
        CExecutableDirectory directory;
        const QString strOut = QString::fromStdString(directory.File("out"));
        QVERIFY(QDir().mkdir(strOut));
        QVERIFY(WriteFileReplacing((strOut + "/starts.txt").toStdString(), "old"));
        CMessageBoxRecorder messages; // no device
        CTestReadMemoryDlg dialog;
        dialog.Create();
        dialog.m_strExportPath = strOut + "/starts";

        QString strText;
        QString strTitle;
        bool bDefaultNo = false;
        WhenModalOpens<QMessageBox>(&dialog, [&, yes](QMessageBox* box) {
            strText = box->text();
            strTitle = box->windowTitle();
            bDefaultNo = box->defaultButton() == box->button(QMessageBox::No);
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        ClickButton(dialog, IDC_SAVE_TO_FILE);

        QCOMPARE(strText, QString("starts.txt already exists.\nDo you want to replace it?"));
        QCOMPARE(strTitle, ApplicationName());
        QVERIFY(bDefaultNo);
        QCOMPARE(FilesIn(strOut), QStringList{yes ? "starts.txt=" : "starts.txt=old"});
    }

    // OK, Escape and the close box release the port and stop the timer before the dialog ends.
    void everyWayOfClosingClosesTheLink_data() {
        QTest::addColumn<int>("way"); // 0 OK, 1 Escape, 2 close box
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << 0 << int(IDOK);
        QTest::newRow("Escape") << 1 << int(IDCANCEL);
        QTest::newRow("close box") << 2 << int(IDCANCEL);
    }
    void everyWayOfClosingClosesTheLink() {
        QFETCH(int, way);
        QFETCH(int, result);
        CExecutableDirectory directory;
        WriteSettings(directory, kPeerPort, 2);
        CPtyPeer peer;
        peer.LinkAsPort(directory.Path(), kPeerPort);
        CMessageBoxRecorder messages;
        CTestReadMemoryDlg dialog;
        bool bHeldWhileOpen = false;
        bool bDrainingWhileOpen = false;
        QTimer::singleShot(0, &dialog, [&, way] {
            CSerialLink other;
            bHeldWhileOpen = !other.Open(kPeerPort, 9600);
            bDrainingWhileOpen = dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer);
            if (way == 0)
                ClickButton(dialog, IDOK);
            else if (way == 1)
                QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Escape);
            else
                dialog.close();
        });
        QCOMPARE(dialog.DoModal(), result);
        QVERIFY(bHeldWhileOpen);
        QVERIFY(bDrainingWhileOpen);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.m_link.IsOpen());
        QVERIFY(!dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer));
        CSerialLink after;
        QVERIFY(after.Open(kPeerPort, 9600));
        after.Close();
        QVERIFY(messages.Texts().empty());
    }

    // The port and rate come from config.ini; without them the main window's defaults, COM 7 at 2400 baud.
    void takesPortAndRateFromTheSettings_data() {
        QTest::addColumn<QByteArray>("config"); // empty: no file
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("speed");
        QTest::newRow("no file") << QByteArray() << 7 << 2400 << int(B2400);
        QTest::newRow("both keys") << QByteArray("[Settings]\nCOMPort=2\nBaudrate=3\n") << 3 << 19200 << int(B19200);
        QTest::newRow("rate out of range")
            << QByteArray("[Settings]\nCOMPort=0\nBaudrate=7\n") << 1 << 2400 << int(B2400);
        QTest::newRow("rate only") << QByteArray("[settings]\nbaudrate=1\n") << 7 << 4800 << int(B4800);
    }
    void takesPortAndRateFromTheSettings() {
        QFETCH(QByteArray, config);
        QFETCH(int, port);
        QFETCH(int, baudRate);
        QFETCH(int, speed);
        CExecutableDirectory directory;
        if (!config.isEmpty())
            QVERIFY(WriteFileReplacing(directory.File("config.ini"), config.toStdString()));
        CPtyPeer peer;
        peer.LinkAsPort(directory.Path(), port);
        CMessageBoxRecorder messages;
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QCOMPARE(peer.ReadUntil(3, kCommandWait), std::string("?M\r"));
        QCOMPARE(dialog.m_nPort, port);
        QCOMPARE(dialog.m_nBaudRate, baudRate);
        QCOMPARE(int(LineSpeed(peer)), speed);
        QVERIFY(messages.Texts().empty());
    }

    // The language named in config.ini replaces the caption and the buttons; headings and notices stay.
    void languageTextsForCaptionAndButtons() {
        CExecutableDirectory directory;
        QVERIFY(WriteFileReplacing(directory.File("identifiers.ini"), "[Identifiers]\n"
                                                                      "IDD_READ_MEMORY=131\n"
                                                                      "IDOK=1\n"
                                                                      "IDC_SET_PROGRAM=1018\n"
                                                                      "IDC_SAVE_TO_FILE=1020\n"
                                                                      "IDC_CLEAR_MEMORY=1032\n"
                                                                      "IDC_PC_TIME=1033\n"));
        QVERIFY(WriteFileReplacing(directory.File("lng_Deutsch.ini"), "[Strings]\n"
                                                                      "IDD_READ_MEMORY=Speicher auslesen\n"
                                                                      "IDOK=Fertig\n"
                                                                      "IDC_SET_PROGRAM=Setzen\n"
                                                                      "IDC_SAVE_TO_FILE=In Datei speichern\n"
                                                                      "IDC_CLEAR_MEMORY=Speicher l\xC3\xB6schen\n"
                                                                      "IDC_PC_TIME=Speicher lesen\n"));
        QVERIFY(
            WriteFileReplacing(directory.File("config.ini"), "[System]\nLanguage=Deutsch\n[Settings]\nCOMPort=3\n"));
        CPtyPeer peer;
        peer.LinkAsPort(directory.Path(), kPeerPort);
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QCOMPARE(dialog.windowTitle(), QString("Speicher auslesen"));
        QCOMPARE(dialog.Item<QPushButton>(IDOK)->text(), QString("Fertig"));
        QCOMPARE(dialog.Item<QPushButton>(IDC_SAVE_TO_FILE)->text(), QString("In Datei speichern"));
        QCOMPARE(dialog.Item<QPushButton>(IDC_CLEAR_MEMORY)->text(), QString::fromUtf8("Speicher l\xC3\xB6schen"));
        QCOMPARE(dialog.Item<QPushButton>(IDC_READ_MEMORY_AGAIN)->text(), QString("Speicher lesen"));
        QCOMPARE(dialog.m_listMemory.headerItem()->text(0), QString("Start No"));
        QCOMPARE(dialog.m_listMemory.headerItem()->text(2), QString("Lead Time"));
        QCOMPARE(peer.ReadUntil(3, kCommandWait), std::string("?M\r"));
        QVERIFY(peer.Write("M?EMPTY\r"));
        QTRY_COMPARE(FilledCells(dialog), (QStringList{"5,1=Memory is", "6,1=Empty!"}));
    }

    // Only with KALVORA_SCREENSHOT_DIR: the dialog with five starts read from the device, into
    // <dir>/read-memory.png.
    void screenshot() {
        const QByteArray screenshotDir = qgetenv("KALVORA_SCREENSHOT_DIR");
        if (screenshotDir.isEmpty())
            QSKIP("KALVORA_SCREENSHOT_DIR is not set");
        CExecutableDirectory directory;
        WriteSettings(directory, 5, 2);
        CSimProcess device(directory.Path(), {"--com", "5", "--memory", "5", "--frozen", "--clock", "10:42:00"});
        CTestReadMemoryDlg dialog;
        dialog.Create();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_COMPARE(Cell(dialog, 4, 0), QString("0005"));
        QTest::qWait(200);
        QVERIFY(dialog.grab().save(QString::fromLocal8Bit(screenshotDir) + "/read-memory.png"));
    }
};

QTEST_MAIN(CReadMemoryDlgTest)
#include "ReadMemoryDlgTest.moc"
