#ifndef ENWLINK_LOGROUTING_H
#define ENWLINK_LOGROUTING_H

#include <QtGlobal>
#include <QString>

class EnwDialog;
class QMessageLogContext;

// The dialog whose console receives every log message once the handler is installed.
extern EnwDialog *logDialog;

// Turns a log message into a console line: "OutPut:" before debug messages,
// "Warning:", "Critical:" or "Fatal:" before the others (nothing for info), and
// every level but debug in red. The message text always shows literally.
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// Makes `dialog` the console of all log output, shows it in the "fusion" style,
// runs the event loop and returns its result. The handler is detached again
// before returning, so nothing logged during shutdown reaches the dialog.
int runLoggingDialog(EnwDialog &dialog);

#endif
