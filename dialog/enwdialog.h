#ifndef ENWLINK_ENWDIALOG_H
#define ENWLINK_ENWDIALOG_H

#include "engine/enwrun.h"

#include <QByteArray>
#include <QDialog>
#include <QFileInfoList>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QPoint;
class QMimeData;
class QSettings;
class QTextCodec;
class QUrl;
struct EnwDialogForm;

// Removes from the settings file at `fileName` every line that holds a value
// stored as a serialized variant. The window never writes one, and the toolkit
// would deserialize whatever such a line claims when any key beside it is read
// (a list said to hold 2^31 entries aborts the start). A file without one is
// left untouched.
void dropUnreadableSettings(const QString &fileName);

// The one window: three path rows with histories, the threshold, the start
// button and the log console.
class EnwDialog : public QDialog
{
    Q_OBJECT

public:
    explicit EnwDialog(QWidget *parent = nullptr);
    ~EnwDialog() override;

    // Remembers the rows' histories and current entries, the edit distance,
    // the window's geometry and the pickers' folder in `settings` (not owned),
    // and shows what it remembered there from the last time. Without it the
    // window remembers nothing.
    void useSettings(QSettings *settings);

    // Adds one line to the console, scrolls to it and lets pending events run.
    // Rich text (the red markup of warnings) is rendered; anything else is shown
    // literally.
    void appendLog(QString text, Qt::TextFormat format = Qt::PlainText);

    // What opens the output's folder in the system's file manager; tests set their own.
    void setUrlOpener(const std::function<bool(const QUrl &)> &opener);

    // Closing the window during a run stops the run.
    void reject() override;

private slots:
    void on_toolButtonOpenEnw_clicked();
    void on_toolButtonOpenSearchPath_clicked();
    void on_toolButtonSave_clicked();
    void on_pushButton_clicked();
    int parseUTF16EnwFile(QString enwFilePath, QStringList &dataList, QTextCodec *enwCode);
    bool getAllFullText(QString pdfFolderPath, QFileInfoList &allFileInfoList);
    int createNewEnwFile(QStringList dataList, QFileInfoList fullTextList, QString newEnwFilePath,
                         QTextCodec *enwCodec);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    Q_DISABLE_COPY(EnwDialog)

    QComboBox *dropRow(const QMimeData *data, const QPoint &position, QString *path) const;
    void choose(QComboBox *row, const QString &path); // what a pick does with its path
    void saveSettings();

    void resetConsoleColour();
    void runBatch();
    void saveReport();
    void openOutputFolder();

    EnwDialogForm *form;
    bool m_running = false;
    bool m_savePicked = false; // the save picker was opened once
    bool m_stopRequested = false;
    RunResult m_lastRun;       // for its report
    QString m_lastOutput;
    QString m_lastSource;
    std::function<bool(const QUrl &)> m_openUrl;
    QList<QByteArray> m_linkTargets; // of the full texts getAllFullText found that are file links
    QSettings *m_settings = nullptr;
};

#endif
