#ifndef ENWLINK_TESTSUPPORT_H
#define ENWLINK_TESTSUPPORT_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

class EnwDialog;
class QTextEdit;
class QTextCodec;

// Captures the messages that the engine logs, while it lives.
class LogCapture
{
public:
    struct Message
    {
        QtMsgType type;
        QString text;
    };

    LogCapture();
    ~LogCapture();

    QList<Message> messages;
    int warningsWithReset = 0;

    // Texts of all messages in order, each prefixed "D:" or "W:" by level.
    QStringList lines() const;
    // Stand-in for the dialog's colour reset: remembers that one happened.
    void reset();

private:
    QtMessageHandler m_previous;
};

// One line (paragraph) of the console as the user sees it.
struct ConsoleLine
{
    QString text;
    QString colour; // "#rrggbb" of its first character
    bool operator==(const ConsoleLine &other) const
    {
        return text == other.text && colour == other.colour;
    }
};
QList<ConsoleLine> consoleLines(const QTextEdit *console);

namespace QTest {
template<typename T> char *toString(const T &);
template<> char *toString(const ConsoleLine &line);
}
QTextEdit *consoleOf(EnwDialog &dialog);

// Colours of console lines, and the line the console starts with.
inline const QString red = QStringLiteral("#ff0000");
inline const QString black = QStringLiteral("#000000");
ConsoleLine helpLine();

// Puts the paths into the dialog's rows (an empty one leaves its row empty) and
// presses the start button. The pickers, the only way in for a user, have tests
// of their own.
void setPaths(EnwDialog &dialog, const QString &source, const QString &folder, const QString &output);
void clickStart(EnwDialog &dialog);

// Routes every log message into the dialog's console while it lives, as the
// program does once its window is up.
class ConsoleRoute
{
public:
    explicit ConsoleRoute(EnwDialog &dialog);
    ~ConsoleRoute();
};

QByteArray readBytes(const QString &path);
bool writeBytes(const QString &path, const QByteArray &bytes);
// Creates an empty file at each relative path below `root`, folders included.
bool makeFiles(const QString &root, const QStringList &relativePaths);

// The UTF-16LE bytes of `text` after the byte-order mark FF FE.
QByteArray utf16WithMark(const QString &text);

// Sets the locale codec for the lifetime of the object.
class LocaleCodec
{
public:
    explicit LocaleCodec(const char *name);
    ~LocaleCodec();

private:
    QTextCodec *m_previous;
};

// Runs `body` in a forked child and returns its exit status and the messages it
// logged (as LogCapture::lines gives them). The child can run as the unprivileged
// user "nobody", so that file permissions apply even when the tests run as root,
// and with a limit on the size of files it writes (SIGXFSZ ignored, so writes
// past the limit fail with an error instead of ending the child).
struct ChildResult
{
    int status = -1;
    QStringList log;
};
ChildResult runInChild(const std::function<int()> &body, bool asNobody, long fileSizeLimit = -1);

// Skips a test of what only Unix has here: file permissions and users, forked
// children, symbolic links, FIFOs and file names that are raw bytes.
#ifdef Q_OS_UNIX
#define UNIX_ONLY(reason) do { } while (false)
#else
#define UNIX_ONLY(reason) QSKIP(reason)
#endif

// The folder of real ENW exports beside the project, or an empty string.
QString corpusFolder();

#endif
