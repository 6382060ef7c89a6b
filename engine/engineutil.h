#ifndef ENWLINK_ENGINEUTIL_H
#define ENWLINK_ENGINEUTIL_H

#include <QByteArray>
#include <QString>

#include <functional>

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

// Appends `text` to `message` as a QDebug stream writes a QString by default:
// in double quotes, with backslashes, quotes and unprintable characters
// escaped. Done directly where nothing needs an escape, which costs a fraction
// of the stream, for the lines logged once per file and once per title; the
// message then goes out whole with qDebug().noquote().nospace().
void appendQuoted(QString &message, const QString &text);

// Logs `message` as a warning, then calls `afterWarning` (the console's colour
// reset) when there is one.
void warnAndThen(const QString &message, const std::function<void()> &afterWarning);

#endif
