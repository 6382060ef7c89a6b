#include "app/commandline.h"
#include "app/logrouting.h"
#include "dialog/enwdialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSettings>

int main(int argc, char **argv)
{
    keepStandardStreamsOpen();
    QCoreApplication::setApplicationName(QStringLiteral("enwlink"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ENWLINK_VERSION));
    // With paths or options of its own, a run without the window.
    if (wantsCommandLine(argc, argv)) {
        QCoreApplication application(argc, argv);
        return runCommandLine();
    }
    // On a large screen (192 dpi and more) the window scales with the system.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication application(argc, argv);
    // The registry on Windows, ~/.config/enwlink/enwlink.conf on Linux.
    // Its file is cleaned before anything in it is read (on Windows the name is
    // a registry key, which no file has).
    dropUnreadableSettings(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("enwlink"),
                                     QStringLiteral("enwlink")).fileName());
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("enwlink"),
                       QStringLiteral("enwlink"));
    EnwDialog dialog;
    dialog.useSettings(&settings);
    return runLoggingDialog(dialog);
}
