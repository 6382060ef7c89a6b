#include "dialog/enwdialog.h"

#include "dialog/enwdialogform.h"
#include "dialog/helptext.h"
#include "engine/enwreader.h"
#include "engine/enwrun.h"
#include "engine/runsummary.h"
#include "engine/enwwriter.h"
#include "engine/fulltextcollector.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPushButton>
#include <QLineEdit>
#include <QMimeData>
#include <QSaveFile>
#include <QSettings>
#include <QSpinBox>
#include <QTextCodec>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QUrl>

EnwDialog::EnwDialog(QWidget *parent)
    : QDialog(parent), form(new EnwDialogForm)
{
    form->setupUi(this);
    form->textBrowser->setText(helpText());
    // After a run that wrote: its report, and the output's folder.
    connect(form->pushButtonReport, &QPushButton::clicked, this, &EnwDialog::saveReport);
    connect(form->pushButtonOpenFolder, &QPushButton::clicked, this, &EnwDialog::openOutputFolder);
    m_openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    // Files and folders dropped on the window, or on a row, fill a row.
    setAcceptDrops(true);
    // A path typed or pasted into a row is taken as a pick of it, once the
    // editing ends (Return, or the focus leaves the row).
    for (QComboBox *row : {form->comboBoxEnw, form->comboBoxSave, form->comboBoxPath}) {
        row->setEditable(true);
        row->setInsertPolicy(QComboBox::NoInsert);
        connect(row->lineEdit(), &QLineEdit::editingFinished, this, [this, row] {
            const QString typed = row->lineEdit()->text().trimmed();
            if (!typed.isEmpty() && (row->currentIndex() < 0 || typed != row->itemText(row->currentIndex())))
                choose(row, QDir::cleanPath(QFileInfo(typed).absoluteFilePath()));
        });
    }
}

namespace {

const int historyLimit = 20;

struct RowKey
{
    QComboBox *EnwDialogForm::*row;
    const char *key;
};
const RowKey rowKeys[] = {{&EnwDialogForm::comboBoxEnw, "source"},
                          {&EnwDialogForm::comboBoxPath, "folder"},
                          {&EnwDialogForm::comboBoxSave, "output"}};

} // namespace

namespace {

// A remembered value of the type the window writes, else an invalid one: a
// damaged or hand-edited file may hold anything under any key.
QVariant valueOfType(const QSettings &settings, const QString &key, int type)
{
    const QVariant value = settings.value(key);
    return value.userType() == type ? value : QVariant();
}

// A row's history as remembered, at most `historyLimit` entries, the current
// one among them: a longer list keeps its newest entries and the current one.
QStringList rememberedHistory(const QSettings &settings, const QString &key, int *current)
{
    QVariant value = settings.value(key + QStringLiteral("/history"));
    if (value.userType() == QMetaType::QString) // a list of one is stored as a string
        value = QStringList(value.toString());
    QStringList history = value.userType() == QMetaType::QStringList ? value.toStringList() : QStringList();
    bool number = false;
    *current = settings.value(key + QStringLiteral("/current")).toInt(&number);
    if (!number || *current < 0 || *current >= history.size())
        *current = -1;
    if (history.size() > historyLimit) {
        const QString chosen = *current >= 0 ? history.at(*current) : QString();
        history = history.mid(history.size() - historyLimit);
        if (*current >= 0 && !history.contains(chosen)) {
            history.removeFirst();
            history.append(chosen);
        }
        *current = *current >= 0 ? history.lastIndexOf(chosen) : -1;
    }
    return history;
}

} // namespace

void dropUnreadableSettings(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray kept;
    bool dropped = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.contains("@Variant("))
            dropped = true;
        else
            kept += line;
    }
    file.close();
    if (!dropped)
        return;
    QSaveFile clean(fileName);
    if (clean.open(QIODevice::WriteOnly) && clean.write(kept) == kept.size())
        clean.commit();
}

void EnwDialog::useSettings(QSettings *settings)
{
    m_settings = settings;
    if (!settings)
        return;
    // A path that is gone stays in its history: a run says what is wrong with it.
    for (const RowKey &row : rowKeys) {
        QComboBox *combo = form->*row.row;
        int current = -1;
        const QStringList history
            = rememberedHistory(*settings, QStringLiteral("rows/%1").arg(QLatin1String(row.key)), &current);
        combo->clear();
        combo->addItems(history);
        combo->setCurrentIndex(current);
    }
    bool number = false;
    const int distance = settings->value(QStringLiteral("distance")).toInt(&number);
    if (number && distance >= form->spinBoxEditDis->minimum() && distance <= form->spinBoxEditDis->maximum())
        form->spinBoxEditDis->setValue(distance);
    restoreGeometry(valueOfType(*settings, QStringLiteral("geometry"), QMetaType::QByteArray).toByteArray());
    const QString folder = valueOfType(*settings, QStringLiteral("pickerFolder"), QMetaType::QString).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        QDir::setCurrent(folder);
}

void EnwDialog::saveSettings()
{
    if (!m_settings)
        return;
    for (const RowKey &row : rowKeys) {
        // The newest entries are last (every use moves its entry there), and
        // the current one is kept even when it is older.
        QComboBox *combo = form->*row.row;
        QStringList history;
        const int first = std::max(0, combo->count() - historyLimit);
        const int current = combo->currentIndex();
        if (current >= 0 && current < first)
            history.append(combo->itemText(current));
        for (int i = history.isEmpty() ? first : first + 1; i < combo->count(); ++i)
            history.append(combo->itemText(i));
        const QString key = QStringLiteral("rows/%1/").arg(QLatin1String(row.key));
        m_settings->setValue(key + QStringLiteral("history"), history);
        m_settings->setValue(key + QStringLiteral("current"),
                             current < 0 ? -1 : history.indexOf(combo->itemText(current)));
    }
    m_settings->setValue(QStringLiteral("distance"), form->spinBoxEditDis->value());
    m_settings->setValue(QStringLiteral("geometry"), saveGeometry());
    m_settings->setValue(QStringLiteral("pickerFolder"), QDir::currentPath());
    m_settings->sync(); // a crash later loses nothing
}

// The row a drop at `position` fills, and the path it brings, or nullptr when
// it does not fit: a folder goes to the folder row, a file to the source row,
// unless it lands on a row (its combo box or its button) of another kind; only
// the first local file or folder counts.
QComboBox *EnwDialog::dropRow(const QMimeData *data, const QPoint &position, QString *path) const
{
    if (!data || !data->hasUrls() || data->urls().isEmpty() || !data->urls().first().isLocalFile())
        return nullptr;
    const QFileInfo dropped(data->urls().first().toLocalFile());
    if (!dropped.exists())
        return nullptr;
    *path = dropped.absoluteFilePath();
    QWidget *under = childAt(position);
    while (under && under->parentWidget() != this)
        under = under->parentWidget();
    if (under == form->comboBoxEnw || under == form->toolButtonOpenEnw)
        return dropped.isDir() ? nullptr : form->comboBoxEnw;
    if (under == form->comboBoxPath || under == form->toolButtonOpenSearchPath)
        return dropped.isDir() ? form->comboBoxPath : nullptr;
    if (under == form->comboBoxSave || under == form->toolButtonSave)
        return dropped.isDir() ? nullptr : form->comboBoxSave;
    return dropped.isDir() ? form->comboBoxPath : form->comboBoxEnw;
}

void EnwDialog::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void EnwDialog::dragMoveEvent(QDragMoveEvent *event)
{
    // The row under the cursor decides, so the answer may change on the way.
    QString path;
    if (dropRow(event->mimeData(), event->pos(), &path))
        event->acceptProposedAction();
    else
        event->ignore(); // the forbidden cursor
}

void EnwDialog::dropEvent(QDropEvent *event)
{
    QString path;
    if (QComboBox *row = dropRow(event->mimeData(), event->pos(), &path)) {
        event->acceptProposedAction();
        choose(row, path);
    } else {
        event->ignore();
    }
}

EnwDialog::~EnwDialog()
{
    delete form;
}

void EnwDialog::appendLog(QString text, Qt::TextFormat format)
{
    // QTextEdit::append would guess the format from the text; a title or a path
    // that looks like markup must still show literally, so the caller decides.
    // Like append, the new paragraph takes the character format at the cursor,
    // so lines after a red one stay red until the colour is reset.
    QTextEdit *console = form->textBrowser;
    QTextDocument *document = console->document();
    const QTextCursor at = console->textCursor();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    if (document->isEmpty())
        cursor.setCharFormat(at.charFormat());
    else
        cursor.insertBlock(at.blockFormat(), at.charFormat());
    if (format == Qt::RichText)
        cursor.insertHtml(text);
    else
        cursor.insertText(text);
    cursor.endEditBlock();

    console->moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
    QCoreApplication::processEvents();
}

void EnwDialog::resetConsoleColour()
{
    QColor black;
    black.setRgb(0, 0, 0, 255);
    form->textBrowser->setTextColor(black);
}

namespace {

// Records `path` in the combo box's history (once, exact comparison) as its
// newest entry, last, and selects it.
void addToHistory(QComboBox *comboBox, const QString &path)
{
    const Qt::MatchFlags exactly = Qt::MatchExactly | Qt::MatchCaseSensitive;
    const int at = comboBox->findText(path, exactly);
    if (at == comboBox->count() - 1 && at >= 0) {
        comboBox->setCurrentIndex(at);
        return;
    }
    if (at >= 0)
        comboBox->removeItem(at);
    comboBox->addItem(path);
    comboBox->setCurrentIndex(comboBox->count() - 1);
}

QString startPath(const QComboBox *comboBox)
{
    const QString current = comboBox->currentText();
    return current.isEmpty() ? QDir::currentPath() : current;
}

} // namespace

void EnwDialog::on_toolButtonOpenEnw_clicked()
{
    QFileDialog *dialog = new QFileDialog(this, QString(), QString(), QString());
    dialog->setWindowTitle(QStringLiteral("打开enw格式的txt/enw文件"));
    dialog->setDirectory(QFileInfo(startPath(form->comboBoxEnw)).absoluteDir());
    // Folders show, so that the user can walk into one.
    dialog->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    dialog->setNameFilter(QStringLiteral("enw格式文件(*.txt *.enw)"));
    QString path;
    if (dialog->exec() == QDialog::Accepted) {
        const QStringList selected = dialog->selectedFiles();
        if (!selected.isEmpty())
            path = selected.first();
    }
    delete dialog;
    if (path.isEmpty())
        return;
    choose(form->comboBoxEnw, path);
}

void EnwDialog::choose(QComboBox *row, const QString &path)
{
    addToHistory(row, path);
    QDir::setCurrent(row == form->comboBoxPath ? path : QFileInfo(path).absolutePath());
    saveSettings();
}

void EnwDialog::on_toolButtonOpenSearchPath_clicked()
{
    const QString path = QFileDialog::getExistingDirectory(
        this, QStringLiteral("打开全文数据库目录"), startPath(form->comboBoxPath),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (path.isEmpty())
        return;
    choose(form->comboBoxPath, path);
}

void EnwDialog::on_toolButtonSave_clicked()
{
    // The suffix chooses the format; a name typed without one takes the filter's.
    QString filter;
    // The first time, beside the source rather than among the full texts
    // picked last; then where the last pick was made.
    const QString source = form->comboBoxEnw->currentText();
    const QString start = m_savePicked || source.isEmpty() ? QDir::currentPath() : QFileInfo(source).absolutePath();
    m_savePicked = true;
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("新建enw格式的题录文件"), start,
        tr("Enw File(*.enw);;RIS File(*.ris);;BibTeX File(*.bib);;Text files (*.txt)"), &filter);
    if (path.isEmpty())
        return;
    const int suffix = filter.indexOf(QLatin1String("(*."));
    if (QFileInfo(path).suffix().isEmpty() && suffix >= 0)
        path += filter.mid(suffix + 2).chopped(1);
    choose(form->comboBoxSave, path);
}

void EnwDialog::on_pushButton_clicked()
{
    // Every log line and every step lets events through, so a click or Return
    // can arrive while a run is in progress: it stops the run.
    if (m_running) {
        m_stopRequested = true;
        return;
    }
    m_running = true;
    m_stopRequested = false;
    form->pushButton->setText(QStringLiteral("停止处理"));
    // What the last run wrote is not this run's.
    form->pushButtonReport->setEnabled(false);
    form->pushButtonOpenFolder->setEnabled(false);
    runBatch();
    form->retranslateUi(this);
    m_running = false;
}

void EnwDialog::reject()
{
    // Closing the window (Escape, the close button) stops a run in progress.
    if (m_running)
        m_stopRequested = true;
    QDialog::reject();
}

void EnwDialog::setUrlOpener(const std::function<bool(const QUrl &)> &opener)
{
    m_openUrl = opener;
}

void EnwDialog::saveReport()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存报告"),
                                                      QFileInfo(m_lastOutput).absolutePath(),
                                                      QStringLiteral("制表符分隔的文本(*.tsv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!writeRunReport(path, m_lastRun.titles, m_lastRun.fullTexts, m_lastRun.recordsPerFullText,
                        {m_lastSource, m_lastOutput}, &error)) {
        qWarning() << (QStringLiteral("无法写入报告:") + path + QStringLiteral(" (") + error + QStringLiteral(")"));
        resetConsoleColour();
        return;
    }
    qDebug() << (QStringLiteral("已写入报告:") + path);
}

void EnwDialog::openOutputFolder()
{
    const QString folder = QFileInfo(m_lastOutput).absolutePath();
    if (!m_openUrl(QUrl::fromLocalFile(folder))) {
        qWarning() << (QStringLiteral("无法打开文件夹:") + folder);
        resetConsoleColour();
    }
}

void EnwDialog::runBatch()
{
    // The run's settings, taken once, first: every console line lets the
    // window handle events, so a row or the distance may change during the run.
    const RunSettings settings{form->comboBoxEnw->currentText(), form->comboBoxPath->currentText(),
                               form->comboBoxSave->currentText(), form->spinBoxEditDis->value(), {}, {}};
    form->textBrowser->clear();
    resetConsoleColour();
    form->textBrowser->setText(helpText());
    // The window lists a hundred entries of a long list; the command line all.
    RunReport report([this] { resetConsoleColour(); });
    report.listLimit = 100;
    // The button says where the run is, and a click on it stops the run.
    report.step = [this](RunReport::Stage stage, int done, int total) {
        form->pushButton->setText(stage == RunReport::Stage::Collecting
                                      ? QStringLiteral("停止处理（已找到全文%1）").arg(done)
                                      : QStringLiteral("停止处理（已处理题录%1/%2）").arg(done).arg(total));
        QCoreApplication::processEvents();
        return !m_stopRequested;
    };
    m_lastRun = runRepair(settings, report);
    m_lastOutput = settings.output;
    m_lastSource = settings.source;
    form->pushButtonReport->setEnabled(m_lastRun.written);
    form->pushButtonOpenFolder->setEnabled(m_lastRun.written);
    // The entries of this run are the newest, whichever were picked when.
    for (QComboBox *row : {form->comboBoxEnw, form->comboBoxPath, form->comboBoxSave}) {
        if (row->currentIndex() >= 0 && !row->currentText().isEmpty())
            addToHistory(row, row->currentText());
    }
    saveSettings();
}

int EnwDialog::parseUTF16EnwFile(QString enwFilePath, QStringList &dataList, QTextCodec *enwCode)
{
    Q_UNUSED(enwCode) // decoding follows the file's byte-order mark
    return readEnwFile(enwFilePath, dataList, [this] { resetConsoleColour(); });
}

bool EnwDialog::getAllFullText(QString pdfFolderPath, QFileInfoList &allFileInfoList)
{
    m_linkTargets.clear();
    collectFullTexts(pdfFolderPath, allFileInfoList, [this] { resetConsoleColour(); }, &m_linkTargets);
    return true;
}

int EnwDialog::createNewEnwFile(QStringList dataList, QFileInfoList fullTextList,
                                QString newEnwFilePath, QTextCodec *enwCodec)
{
    return writeLinkedEnw(dataList, fullTextList, newEnwFilePath, enwCodec, form->spinBoxEditDis->value(),
                          [this] { resetConsoleColour(); }, form->comboBoxEnw->currentText(), m_linkTargets);
}
