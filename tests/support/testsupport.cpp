#include "support/testsupport.h"

#include "app/logrouting.h"
#include "dialog/enwdialog.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QFile>
#include <QFileInfo>
#include <QTextBlock>
#include <QTextCodec>
#include <QTextEdit>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {
LogCapture *activeCapture = nullptr;

void captureHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (activeCapture)
        activeCapture->messages.append({type, text});
}
} // namespace

LogCapture::LogCapture()
{
    activeCapture = this;
    m_previous = qInstallMessageHandler(captureHandler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    activeCapture = nullptr;
}

QStringList LogCapture::lines() const
{
    QStringList result;
    for (const Message &message : messages)
        result.append((message.type == QtDebugMsg ? QStringLiteral("D:") : QStringLiteral("W:"))
                      + message.text);
    return result;
}

void LogCapture::reset()
{
    if (!messages.isEmpty() && messages.last().type == QtWarningMsg)
        ++warningsWithReset;
}

QList<ConsoleLine> consoleLines(const QTextEdit *console)
{
    QList<ConsoleLine> lines;
    for (QTextBlock block = console->document()->begin(); block.isValid(); block = block.next()) {
        QString colour;
        const QTextBlock::iterator first = block.begin();
        if (!first.atEnd())
            colour = first.fragment().charFormat().foreground().color().name();
        else
            colour = block.charFormat().foreground().color().name();
        lines.append({block.text(), colour});
    }
    return lines;
}

namespace QTest {
template<> char *toString(const ConsoleLine &line)
{
    return qstrdup((line.colour + QLatin1Char(' ') + line.text).toUtf8().constData());
}
}

QTextEdit *consoleOf(EnwDialog &dialog)
{
    return dialog.findChild<QTextEdit *>(QStringLiteral("textBrowser"));
}

ConsoleLine helpLine()
{
    return {QStringLiteral("针对部分文献管理软件如noteexpress导出的题录信息不含有pdf/caj附件，"
                           "此程序用于帮助endnote格式题录修复这一问题。要求题录中的标题信息和文件名称基本相同，"
                           "两者的相似度可以通过编辑距离调整。没有找到对应的附件文件或者文件名编辑距离不完全为0的情况，"
                           "以红色字体显示。修复后的文件可以直接导入Citavi/Endnote。"
                           "enwlink：为ENW题录自动链接本地PDF/CAJ全文的小工具。"),
            black};
}

void setPaths(EnwDialog &dialog, const QString &source, const QString &folder, const QString &output)
{
    const QPair<const char *, QString> rows[] = {
        {"comboBoxEnw", source}, {"comboBoxPath", folder}, {"comboBoxSave", output}};
    for (const auto &row : rows) {
        auto *combo = dialog.findChild<QComboBox *>(QString::fromLatin1(row.first));
        combo->clear();
        if (!row.second.isEmpty())
            combo->addItem(row.second);
    }
}

void clickStart(EnwDialog &dialog)
{
    dialog.findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
}

ConsoleRoute::ConsoleRoute(EnwDialog &dialog)
{
    logDialog = &dialog;
    qInstallMessageHandler(logMessageHandler);
}

ConsoleRoute::~ConsoleRoute()
{
    qInstallMessageHandler(nullptr);
    logDialog = nullptr;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool makeFiles(const QString &root, const QStringList &relativePaths)
{
    for (const QString &relative : relativePaths) {
        const QString path = root + QLatin1Char('/') + relative;
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !writeBytes(path, QByteArray()))
            return false;
    }
    return true;
}

QByteArray utf16WithMark(const QString &text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        const ushort unit = c.unicode();
        bytes.append(char(unit & 0xFF));
        bytes.append(char(unit >> 8));
    }
    return bytes;
}

LocaleCodec::LocaleCodec(const char *name) : m_previous(QTextCodec::codecForLocale())
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(name));
}

LocaleCodec::~LocaleCodec()
{
    QTextCodec::setCodecForLocale(m_previous);
}

QString corpusFolder()
{
    const QString folder = QStringLiteral(ENWLINK_CORPUS_DIR);
    return QFileInfo(folder).isDir() ? QDir(folder).canonicalPath() : QString();
}

#ifdef Q_OS_UNIX
namespace {
int childLogFd = -1;

void childHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    const QByteArray line = ((type == QtDebugMsg ? QStringLiteral("D:") : QStringLiteral("W:")) + text)
                                .toUtf8()
                            + '\n';
    if (::write(childLogFd, line.constData(), size_t(line.size())) < 0)
        _exit(120);
}
} // namespace

ChildResult runInChild(const std::function<int()> &body, bool asNobody, long fileSizeLimit)
{
    ChildResult result;
    int fds[2];
    if (::pipe(fds) != 0)
        return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        childLogFd = fds[1];
        qInstallMessageHandler(childHandler);
        if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            _exit(121);
        if (fileSizeLimit >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(122);
        }
        _exit(body());
    }
    ::close(fds[1]);
    QByteArray output;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, int(got));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    for (const QByteArray &line : output.split('\n'))
        if (!line.isEmpty())
            result.log.append(QString::fromUtf8(line));
    return result;
}
#else
ChildResult runInChild(const std::function<int()> &, bool, long)
{
    return {}; // no fork here: the tests that need one skip on this platform
}
#endif
