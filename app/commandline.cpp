#include "app/commandline.h"

#include "engine/enwrun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

bool colourOnStandardError = false;
bool logLost = false; // a line could not be written to its stream

// Writes `text` to `stream` and tells whether all of it got there.
bool put(FILE *stream, const QByteArray &text)
{
    const bool written = std::fwrite(text.constData(), 1, size_t(text.size()), stream) == size_t(text.size());
    return std::fflush(stream) == 0 && written;
}

void printMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const bool ordinary = type == QtDebugMsg || type == QtInfoMsg;
    const QString prefix = type == QtDebugMsg     ? QStringLiteral("OutPut:")
                           : type == QtWarningMsg ? QStringLiteral("Warning:")
                           : type == QtInfoMsg    ? QString()
                                                  : QStringLiteral("Critical:");
    FILE *stream = ordinary ? stdout : stderr;
#ifdef Q_OS_WIN
    // A console takes Unicode whatever its code page, and its red comes from
    // its attributes; a file or a pipe gets the local encoding.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        CONSOLE_SCREEN_BUFFER_INFO before;
        const bool coloured = !ordinary && GetConsoleScreenBufferInfo(handle, &before);
        if (coloured)
            SetConsoleTextAttribute(handle, FOREGROUND_RED | FOREGROUND_INTENSITY);
        const QString text = prefix + message + QLatin1Char('\n');
        DWORD written = 0;
        std::fflush(stream);
        if (!WriteConsoleW(handle, text.utf16(), DWORD(text.size()), &written, nullptr))
            logLost = true;
        if (coloured)
            SetConsoleTextAttribute(handle, before.wAttributes);
        return;
    }
#endif
    const QByteArray line = (prefix + message).toLocal8Bit();
    const bool red = !ordinary && colourOnStandardError;
    if (!put(stream, (red ? "\033[31m" + line + "\033[0m" : line) + '\n'))
        logLost = true;
}

#ifdef Q_OS_WIN
// A GUI program started from cmd or PowerShell has no console of its own: it
// writes to its parent's, unless its output is redirected already.
void attachParentConsole()
{
    const bool redirected = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
    if (!redirected && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}
#endif

} // namespace

namespace {

// The arguments without the toolkit's own options (and their values), which
// only the window would use. After "--" every argument is a path.
QStringList withoutToolkitOptions(const QStringList &arguments)
{
    static const QStringList withValue({QStringLiteral("-style"), QStringLiteral("-stylesheet"),
                                        QStringLiteral("-platform"), QStringLiteral("-platformpluginpath"),
                                        QStringLiteral("-platformtheme"), QStringLiteral("-plugin"),
                                        QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowtitle"),
                                        QStringLiteral("-qwindowicon"), QStringLiteral("-session"),
                                        QStringLiteral("-display"), QStringLiteral("-geometry")});
    static const QStringList alone({QStringLiteral("-reverse"), QStringLiteral("-widgetcount")});
    QStringList kept;
    const int paths = arguments.indexOf(QStringLiteral("--"));
    for (int i = 0; i < arguments.size(); ++i) {
        if (paths >= 0 && i >= paths)
            kept.append(arguments.at(i));
        else if (i > 0 && withValue.contains(arguments.at(i)))
            ++i; // and its value
        else if (i == 0 || !alone.contains(arguments.at(i)))
            kept.append(arguments.at(i));
    }
    return kept;
}

} // namespace

void keepStandardStreamsOpen()
{
#ifndef Q_OS_WIN
    // Started with a standard stream closed, the first file opened would take
    // its descriptor, and console lines would be written into that file.
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
            const int opened = ::open("/dev/null", O_RDWR);
            if (opened >= 0 && opened != descriptor)
                ::close(opened); // taken by the time of an earlier one: nothing to fill
        }
    }
    // A reader that stops early (| head) must not kill the run before it writes.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool wantsCommandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return withoutToolkitOptions(arguments).size() > 1;
}

int runCommandLine()
{
#ifdef Q_OS_WIN
    attachParentConsole();
#endif
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Copies the records of SOURCE into OUTPUT and links each title to the full text in FOLDER "
        "whose name matches it."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("SOURCE"), QStringLiteral("The ENW file to read."));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The folder of full texts."));
    parser.addPositionalArgument(QStringLiteral("OUTPUT"),
                                 QStringLiteral("The file to write: ENW, or RIS or BibTeX when it ends in .ris or .bib."));
    const QCommandLineOption distance(QStringLiteral("distance"),
                                      QStringLiteral("The edit distance of the last pass, 0 to 10 (default 2)."),
                                      QStringLiteral("N"), QStringLiteral("2"));
    parser.addOption(distance);
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("Write enw, ris or bib, whatever OUTPUT ends in."),
                                    QStringLiteral("FORMAT"));
    parser.addOption(format);
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Leave out the line per full text and per title."));
    parser.addOption(quiet);
    const QCommandLineOption reportFile(QStringLiteral("report"),
                                        QStringLiteral("Also write what each title got, tab-separated, to FILE."),
                                        QStringLiteral("FILE"));
    parser.addOption(reportFile);

    auto usageError = [&parser](const QString &error) {
        put(stderr, (error + QStringLiteral("\n\n") + parser.helpText()).toLocal8Bit());
        return int(CommandLineStatus::Usage);
    };
    if (!parser.parse(withoutToolkitOptions(QCoreApplication::arguments())))
        return usageError(parser.errorText());
    const auto printed = [](const QString &text) {
        return int(put(stdout, text.toLocal8Bit()) ? CommandLineStatus::Written : CommandLineStatus::LogLost);
    };
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return printed(parser.helpText());
    if (parser.isSet(QStringLiteral("version")))
        return printed(QCoreApplication::applicationName() + QLatin1Char(' ')
                       + QCoreApplication::applicationVersion() + QLatin1Char('\n'));
    const QStringList paths = parser.positionalArguments();
    if (paths.size() != 3)
        return usageError(QStringLiteral("Three paths are needed: SOURCE FOLDER OUTPUT."));
    bool number = false;
    const int edits = parser.value(distance).toInt(&number);
    if (!number || edits < 0 || edits > 10)
        return usageError(QStringLiteral("--distance takes a whole number from 0 to 10."));
    RunSettings settings{paths.at(0), paths.at(1), paths.at(2), edits, {}, parser.value(reportFile)};
    if (parser.isSet(format)) {
        OutputFormat named = OutputFormat::Enw;
        if (!outputFormatNamed(parser.value(format), &named))
            return usageError(QStringLiteral("--format takes enw, ris or bib."));
        settings.format = named;
    }

#ifndef Q_OS_WIN
    colourOnStandardError = isatty(fileno(stderr));
#endif
    const QtMessageHandler previous = qInstallMessageHandler(printMessage);
    RunReport report;
    report.details = !parser.isSet(quiet);
    const RunResult result = runRepair(settings, report);
    qInstallMessageHandler(previous);
    if (!result.written)
        return int(CommandLineStatus::Failed);
    if (logLost || result.reportLost)
        return int(CommandLineStatus::LogLost);
    return int(result.undecodableLines > 0 ? CommandLineStatus::Undecodable : CommandLineStatus::Written);
}
