#include "dialog/enwdialog.h"

#include "dialog/enwdialogform.h"
#include "dialog/helptext.h"
#include "engine/enwreader.h"
#include "engine/enwrun.h"
#include "engine/enwwriter.h"
#include "engine/fulltextcollector.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QSpinBox>
#include <QTextCodec>
#include <QTextCursor>
#include <QTextEdit>

EnwDialog::EnwDialog(QWidget *parent)
    : QDialog(parent), form(new EnwDialogForm)
{
    form->setupUi(this);
    form->textBrowser->setText(helpText());
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

// Records `path` in the combo box's history (once, exact comparison) and selects it.
void addToHistory(QComboBox *comboBox, const QString &path)
{
    const Qt::MatchFlags exactly = Qt::MatchExactly | Qt::MatchCaseSensitive;
    if (comboBox->findText(path, exactly) == -1)
        comboBox->addItem(path);
    comboBox->setCurrentIndex(comboBox->findText(path, exactly));
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
    dialog->setFilter(QDir::Files);
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
    addToHistory(form->comboBoxEnw, path);
    QDir::setCurrent(QFileInfo(path).absolutePath());
}

void EnwDialog::on_toolButtonOpenSearchPath_clicked()
{
    const QString path = QFileDialog::getExistingDirectory(
        this, QStringLiteral("打开全文数据库目录"), startPath(form->comboBoxPath),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (path.isEmpty())
        return;
    addToHistory(form->comboBoxPath, path);
    QDir::setCurrent(path);
}

void EnwDialog::on_toolButtonSave_clicked()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("新建enw格式的题录文件"), QDir::currentPath(),
        tr("Enw File(*.enw);;Text files (*.txt)"));
    if (path.isEmpty())
        return;
    addToHistory(form->comboBoxSave, path);
    QDir::setCurrent(QFileInfo(path).absolutePath());
}

void EnwDialog::on_pushButton_clicked()
{
    // Every log line lets events through, so a click or Return can arrive while
    // a run is in progress; a second run inside it is refused.
    if (m_running)
        return;
    m_running = true;
    runBatch();
    m_running = false;
}

void EnwDialog::runBatch()
{
    // The run's settings, taken once, first: every console line lets the
    // window handle events, so a row or the distance may change during the run.
    const RunSettings settings{form->comboBoxEnw->currentText(), form->comboBoxPath->currentText(),
                               form->comboBoxSave->currentText(), form->spinBoxEditDis->value()};
    form->textBrowser->clear();
    resetConsoleColour();
    form->textBrowser->setText(helpText());
    runRepair(settings, [this] { resetConsoleColour(); });
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
