#include "app/logrouting.h"

#include "dialog/enwdialog.h"

#include <QApplication>
#include <QIcon>
#include <QObject>

EnwDialog *logDialog = nullptr;

namespace {
// Laying out a console line takes time that grows faster than its length (a
// megabyte-long title line would stall the window for minutes), so a line
// shows at most this many characters of its message.
const int consoleLineLimit = 10000;
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    Q_UNUSED(context)
    if (!logDialog)
        return;

    QString line;
    switch (type) {
    case QtDebugMsg:
        line = QStringLiteral("OutPut:");
        break;
    case QtWarningMsg:
        line = QStringLiteral("Warning:");
        break;
    case QtCriticalMsg:
        line = QStringLiteral("Critical:");
        break;
    case QtFatalMsg:
        line = QStringLiteral("Fatal:");
        break;
    case QtInfoMsg:
    default:
        break;
    }
    if (message.size() > consoleLineLimit)
        line += message.left(consoleLineLimit) + QStringLiteral("……（此行过长，仅显示前10000个字符）");
    else
        line += message;

    if (type == QtDebugMsg) {
        logDialog->appendLog(line, Qt::PlainText);
        return;
    }
    // Messages carry titles and paths from the user's files: escape them, and
    // keep their runs of blanks, so that they read exactly as they are.
    const QString literal = QStringLiteral("<span style=\"white-space:pre-wrap\">")
                            + line.toHtmlEscaped() + QStringLiteral("</span>");
    logDialog->appendLog(QObject::tr("<font color = red>%1</font>").arg(literal, 0, QLatin1Char(' ')),
                         Qt::RichText);
}

int runLoggingDialog(EnwDialog &dialog)
{
    logDialog = &dialog;
    qInstallMessageHandler(logMessageHandler);
    QApplication::setStyle(QStringLiteral("fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/enwlink.png")));
    dialog.show();
    const int status = QApplication::exec();
    qInstallMessageHandler(nullptr);
    logDialog = nullptr;
    return status;
}
