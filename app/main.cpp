#include "app/commandline.h"
#include "app/logrouting.h"
#include "dialog/enwdialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSettings>

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("enwlink"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ENWLINK_VERSION));
    // With paths or options of its own, a run without the window.
    if (wantsCommandLine(argc, argv)) {
        QCoreApplication application(argc, argv);
        return runCommandLine();
    }
    QApplication application(argc, argv);
    // The registry on Windows, ~/.config/enwlink/enwlink.conf on Linux.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("enwlink"),
                       QStringLiteral("enwlink"));
    EnwDialog dialog;
    dialog.useSettings(&settings);
    return runLoggingDialog(dialog);
}
