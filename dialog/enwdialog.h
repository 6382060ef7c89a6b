#ifndef ENWLINK_ENWDIALOG_H
#define ENWLINK_ENWDIALOG_H

#include <QByteArray>
#include <QDialog>
#include <QFileInfoList>
#include <QList>
#include <QString>
#include <QStringList>

class QTextCodec;
struct EnwDialogForm;

// The one window: three path rows with histories, the threshold, the start
// button and the log console.
class EnwDialog : public QDialog
{
    Q_OBJECT

public:
    explicit EnwDialog(QWidget *parent = nullptr);
    ~EnwDialog() override;

    // Adds one line to the console, scrolls to it and lets pending events run.
    // Rich text (the red markup of warnings) is rendered; anything else is shown
    // literally.
    void appendLog(QString text, Qt::TextFormat format = Qt::PlainText);

private slots:
    void on_toolButtonOpenEnw_clicked();
    void on_toolButtonOpenSearchPath_clicked();
    void on_toolButtonSave_clicked();
    void on_pushButton_clicked();
    int parseUTF16EnwFile(QString enwFilePath, QStringList &dataList, QTextCodec *enwCode);
    bool getAllFullText(QString pdfFolderPath, QFileInfoList &allFileInfoList);
    int createNewEnwFile(QStringList dataList, QFileInfoList fullTextList, QString newEnwFilePath,
                         QTextCodec *enwCodec);

private:
    Q_DISABLE_COPY(EnwDialog)

    void resetConsoleColour();
    void runBatch();

    EnwDialogForm *form;
    bool m_running = false;
    QList<QByteArray> m_linkTargets; // of the full texts getAllFullText found that are file links
};

#endif
