#include "engine/engineutil.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

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

int hardLinkCount(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        return int(status.st_nlink);
#else
    Q_UNUSED(path)
#endif
    return 1;
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

bool isAscii(const char *bytes, qsizetype size)
{
    return std::all_of(bytes, bytes + size, [](char byte) { return uchar(byte) < 0x80; });
}

QStringView fileNameIn(const QString &filePath)
{
    int start = filePath.lastIndexOf(QLatin1Char('/')) + 1;
#ifdef Q_OS_WIN
    if (start == 0 && filePath.size() >= 2 && filePath.at(1) == QLatin1Char(':'))
        start = 2; // "C:name.pdf"
#endif
    return QStringView(filePath).mid(start);
}

void appendQuoted(QString &message, const QString &text)
{
    const bool plain = std::all_of(text.begin(), text.end(), [](QChar c) {
        const ushort unit = c.unicode();
        if (unit < 0x80)
            return unit >= 0x20 && unit < 0x7f && unit != '"' && unit != '\\';
        return !c.isSurrogate() && c.isPrint();
    });
    if (plain) {
        message += QLatin1Char('"');
        message += text;
        message += QLatin1Char('"');
    } else {
        QString escaped;
        QDebug(&escaped).nospace() << text;
        message += escaped;
    }
}

void RunReport::warn(const QString &message) const
{
    qWarning() << message;
    if (m_afterWarning)
        m_afterWarning();
}

void RunReport::warnLine(const QString &line) const
{
    qWarning().noquote().nospace() << line;
    if (m_afterWarning)
        m_afterWarning();
}

bool RunReport::proceed(Stage stage, int done, int total) const
{
    if (!m_stopped && step && !step(stage, done, total))
        m_stopped = true;
    return !m_stopped;
}

int yearIn(QStringView text)
{
    int digits = 0;
    int year = 0;
    for (int at = 0; at <= text.size(); ++at) {
        const QChar c = at < text.size() ? text.at(at) : QChar();
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            year = 10 * std::min(year, 100000) + (c.unicode() - '0');
            ++digits;
            continue;
        }
        if (digits == 4 && year >= 1000 && year <= 2999)
            return year;
        digits = 0;
        year = 0;
    }
    return 0;
}
