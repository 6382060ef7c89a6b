#ifndef ENWLINK_ENGINEUTIL_H
#define ENWLINK_ENGINEUTIL_H

#include <QByteArray>
#include <QString>

#include <functional>
#include <type_traits>

// What identifies a file or folder however it is reached (links, hard links,
// letter case on Windows): device and inode on Unix (one stat, however deep
// the path), else the canonical path. Empty when it cannot be looked at.
QByteArray fileIdentity(const QString &path);

// How many hard links the file at `path` has (1 where that cannot be told).
int hardLinkCount(const QString &path);

// Whether every character or byte is ASCII, which every local encoding
// spells alike.
bool isAscii(QStringView text);
bool isAscii(const char *bytes, qsizetype size);

// The file name in `filePath` (a QFileInfo's path), as QFileInfo::fileName
// gives it, without copying it out.
QStringView fileNameIn(const QString &filePath);

// The first year in `text` (1000 to 2999, not part of a longer number), or 0.
int yearIn(QStringView text);

// Appends `text` to `message` as a QDebug stream writes a QString by default:
// in double quotes, with backslashes, quotes and unprintable characters
// escaped. Done directly where nothing needs an escape, which costs a fraction
// of the stream, for the lines logged once per file and once per title; the
// message then goes out whole with qDebug().noquote().nospace().
void appendQuoted(QString &message, const QString &text);

// How a run reports: through the toolkit's log, every warning followed by the
// front end's own step after it (the window resets its console's colour).
// Anything callable without arguments converts to one.
class RunReport
{
public:
    RunReport() = default;
    template<typename AfterWarning,
             typename = std::enable_if_t<std::is_invocable_v<AfterWarning &>
                                         && !std::is_same_v<std::decay_t<AfterWarning>, RunReport>>>
    RunReport(AfterWarning afterWarning) : m_afterWarning(std::move(afterWarning))
    {
    }

    void warn(const QString &message) const;     // written as a QDebug stream writes a QString
    void warnLine(const QString &line) const;    // written as it is (already quoted)

    // How many entries of a long list are shown (the rest counted in one
    // line); -1 shows all.
    int listLimit = -1;
    // Whether the line per full text found and per title is shown.
    bool details = true;

    // Where a run is: full texts found so far (of no known total), or
    // records linked of all. The front end's step shows it and answers
    // whether to go on; once it says no, the run stops and writes nothing.
    enum class Stage { Collecting, Linking };
    std::function<bool(Stage stage, int done, int total)> step;
    // Tells the step where the run is, unless it stopped already; false once stopped.
    bool proceed(Stage stage, int done, int total) const;
    bool stopped() const { return m_stopped; }

private:
    std::function<void()> m_afterWarning;
    mutable bool m_stopped = false;
};

#endif
