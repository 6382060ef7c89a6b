#include "engine/engineutil.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

QByteArray fileIdentity(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return QByteArray();
    return QByteArray::number(qulonglong(status.st_dev)) + ':'
           + QByteArray::number(qulonglong(status.st_ino));
#else
    return QFileInfo(path).canonicalFilePath().toLower().toUtf8();
#endif
}

void warnAndThen(const QString &message, const std::function<void()> &afterWarning)
{
    qWarning() << message;
    if (afterWarning)
        afterWarning();
}
