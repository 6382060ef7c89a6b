#include "app/commandline.h"

#include "engine/enwrun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

bool colourOnStandardError = false;

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
        WriteConsoleW(handle, text.utf16(), DWORD(text.size()), &written, nullptr);
        if (coloured)
            SetConsoleTextAttribute(handle, before.wAttributes);
        return;
    }
#endif
    const QByteArray line = (prefix + message).toLocal8Bit();
    if (!ordinary && colourOnStandardError)
        std::fprintf(stream, "\033[31m%s\033[0m\n", line.constData());
    else
        std::fprintf(stream, "%s\n", line.constData());
    std::fflush(stream);
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
// only the window would use.
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
    for (int i = 0; i < arguments.size(); ++i) {
        if (i > 0 && withValue.contains(arguments.at(i)))
            ++i; // and its value
        else if (i == 0 || !alone.contains(arguments.at(i)))
            kept.append(arguments.at(i));
    }
    return kept;
}

} // namespace

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
    parser.addPositionalArgument(QStringLiteral("OUTPUT"), QStringLiteral("The ENW file to write."));
    const QCommandLineOption distance(QStringLiteral("distance"),
                                      QStringLiteral("The edit distance of the last pass, 0 to 10 (default 2)."),
                                      QStringLiteral("N"), QStringLiteral("2"));
    parser.addOption(distance);

    auto usageError = [&parser](const QString &error) {
        std::fprintf(stderr, "%s\n\n%s", error.toLocal8Bit().constData(),
                     parser.helpText().toLocal8Bit().constData());
        return 2;
    };
    if (!parser.parse(withoutToolkitOptions(QCoreApplication::arguments())))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    const QStringList paths = parser.positionalArguments();
    if (paths.size() != 3)
        return usageError(QStringLiteral("Three paths are needed: SOURCE FOLDER OUTPUT."));
    bool number = false;
    const int edits = parser.value(distance).toInt(&number);
    if (!number || edits < 0 || edits > 10)
        return usageError(QStringLiteral("--distance takes a whole number from 0 to 10."));

#ifndef Q_OS_WIN
    colourOnStandardError = isatty(fileno(stderr));
#endif
    const QtMessageHandler previous = qInstallMessageHandler(printMessage);
    const RunResult result = runRepair({paths.at(0), paths.at(1), paths.at(2), edits});
    qInstallMessageHandler(previous);
    return result.written ? 0 : 1;
}
