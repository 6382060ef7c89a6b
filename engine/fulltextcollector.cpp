#include "engine/fulltextcollector.h"

#include "engine/engineutil.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

bool isFullTextName(const QString &name)
{
    // PDF, and CAJ, NH and KDH: the formats of the Chinese databases' reader.
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const int length = name.size() - dot - 1;
    if (dot < 0 || length < 2 || length > 3)
        return false;
    const QStringRef suffix = name.midRef(dot + 1);
    for (const char *known : {"pdf", "caj", "nh", "kdh"}) {
        if (suffix.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

struct Entry
{
    QString name;
    QString sortKey; // the name in lower case, for names beyond ASCII
    bool folder = false;
    bool file = false;
    bool link = false;

    // A character of the name in lower case: QDir's order ignores letter case.
    ushort lowerAt(int at) const
    {
        if (!sortKey.isNull())
            return sortKey.at(at).unicode();
        const ushort unit = name.at(at).unicode();
        return unit >= 'A' && unit <= 'Z' ? ushort(unit + ('a' - 'A')) : unit;
    }
    int lowerSize() const { return sortKey.isNull() ? name.size() : sortKey.size(); }
};

// The order of QDir: the names in lower case, then the names themselves.
bool comesBefore(const Entry &a, const Entry &b)
{
    const int common = std::min(a.lowerSize(), b.lowerSize());
    for (int at = 0; at < common; ++at) {
        const ushort x = a.lowerAt(at);
        const ushort y = b.lowerAt(at);
        if (x != y)
            return x < y;
    }
    if (a.lowerSize() != b.lowerSize())
        return a.lowerSize() < b.lowerSize();
    return a.name < b.name;
}

// The visible entries of one folder, in QDir's default order (by name, letter
// case ignored; names that differ only in case in code-unit order). Names the
// local encoding cannot decode cannot be given back as a path; they go to
// `undecodable` instead (QDir would leave them out without a word). A folder
// that cannot be listed sets `failure` to the reason (errno), else 0.
std::vector<Entry> listFolder(const QString &folderPath, QStringList &undecodable, int &failure)
{
    std::vector<Entry> entries;
    failure = 0;
#ifdef Q_OS_UNIX
    // readdir, and a stat only for links and unknown types: a QFileInfo per
    // entry would cost several times the listing itself.
    const QByteArray folder = QFile::encodeName(folderPath);
    DIR *listing = ::opendir(folder.constData());
    if (!listing) {
        failure = errno;
        return entries;
    }
    while (const dirent *item = ::readdir(listing)) {
        const QByteArray raw = QByteArray::fromRawData(item->d_name, int(qstrlen(item->d_name)));
        if (raw.startsWith('.'))
            continue; // hidden, and "." and ".."
        Entry entry;
        // Anything beyond ASCII must decode and encode back to the same bytes
        // to be usable as a path.
        if (isAscii(raw.constData(), raw.size())) {
            entry.name = QString::fromLatin1(raw);
        } else {
            entry.name = QFile::decodeName(raw);
            if (QFile::encodeName(entry.name) != raw) {
                undecodable.append(entry.name);
                continue;
            }
            entry.sortKey = entry.name.toLower();
        }
        unsigned char type = item->d_type;
        entry.link = type == DT_LNK;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat status;
            const QByteArray path = folder + '/' + raw;
            type = ::stat(path.constData(), &status) != 0 ? DT_UNKNOWN
                   : S_ISDIR(status.st_mode)               ? DT_DIR
                   : S_ISREG(status.st_mode)               ? DT_REG
                                                           : DT_UNKNOWN;
        }
        entry.folder = type == DT_DIR;
        entry.file = type == DT_REG && isFullTextName(entry.name);
        if (entry.folder || entry.file) // nothing else is walked or collected
            entries.push_back(std::move(entry));
    }
    ::closedir(listing);
    undecodable.sort();
#else
    Q_UNUSED(undecodable)
    for (const QFileInfo &info : QDir(folderPath).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        Entry entry;
        entry.name = info.fileName();
        entry.sortKey = entry.name.toLower();
        entry.folder = info.isDir();
        entry.file = info.isFile() && isFullTextName(entry.name);
        entry.link = info.isSymLink();
        entries.push_back(std::move(entry));
    }
#endif
    std::sort(entries.begin(), entries.end(), comesBefore);
    return entries;
}

struct Walk
{
    QFileInfoList &fullTexts;
    const RunReport &report;
    QSet<QByteArray> visited; // identities of the folders walked so far
    QList<QByteArray> *linkTargets;
};

void walk(const QString &folderPath, Walk &state)
{
    if (!state.report.proceed(RunReport::Stage::Collecting, state.fullTexts.size(), 0))
        return; // stopped: the run writes nothing
    // A folder that exists but may not be read would list as empty; say so.
    const QFileInfo self(folderPath);
    if (self.isDir() && !(self.isReadable() && self.isExecutable())) {
        state.report.warn(QStringLiteral("文件夹无法读取，已跳过:") + self.absoluteFilePath());
        return;
    }
    QString base = QDir(folderPath).absolutePath();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    QStringList undecodable;
    int failure = 0;
    const std::vector<Entry> entries = listFolder(folderPath, undecodable, failure);
#ifdef Q_OS_UNIX
    // A missing folder, or a file given as one, the run reports itself; any
    // other failure (a path longer than the system takes) hides full texts.
    if (failure != 0 && failure != ENOENT && failure != ENOTDIR) {
        state.report.warn(QStringLiteral("文件夹无法读取，已跳过:") + self.absoluteFilePath() + QStringLiteral(" (")
                          + (failure == ENAMETOOLONG ? QStringLiteral("路径过长") : qt_error_string(failure))
                          + QStringLiteral(")"));
        return;
    }
#endif
    for (const QString &name : undecodable)
        state.report.warn(QStringLiteral("文件名编码无法识别，已跳过:") + base + name);
    for (const Entry &entry : entries) {
        QString path; // sized exactly: the full-text list keeps it for the whole run
        path.reserve(base.size() + entry.name.size());
        path += base;
        path += entry.name;
        if (entry.file) {
            if (std::any_of(path.begin(), path.end(),
                            [](QChar c) { return c == QLatin1Char('\n') || c == QLatin1Char('\r'); })) {
                // Written into a "%>" line, the break would split the record.
                state.report.warn(QStringLiteral("文件名含有换行符，已跳过:") + path);
                continue;
            }
#ifdef Q_OS_UNIX
            // A path the system cannot open could be linked, but never opened.
            if (path.size() * 3 >= PATH_MAX && QFile::encodeName(path).size() >= PATH_MAX) {
                state.report.warn(QStringLiteral("全文路径过长，已跳过:") + path);
                continue;
            }
#endif
            if (state.report.details) {
                QString message;
                message.reserve(path.size() + 9);
                message += QLatin1String("File : ");
                appendQuoted(message, path);
                qDebug().noquote().nospace() << message;
            }
            state.fullTexts.append(QFileInfo(path));
            if (entry.link && state.linkTargets)
                state.linkTargets->append(fileIdentity(path));
            continue;
        }
        if (!entry.folder)
            continue;
        // Every folder is walked once, at its first place in the order: links
        // back up the tree and links that fan out are passed over after that.
        const QByteArray identity = fileIdentity(path);
        if (!identity.isEmpty()) {
            if (state.visited.contains(identity))
                continue;
            state.visited.insert(identity);
        }
        walk(path, state);
    }
}

} // namespace

#ifdef Q_OS_WIN
extern Q_CORE_EXPORT int qt_ntfs_permission_lookup;
#endif

void collectFullTexts(const QString &folderPath, QFileInfoList &fullTexts,
                      const RunReport &report, QList<QByteArray> *linkTargets)
{
#ifdef Q_OS_WIN
    // Qt reads NTFS permissions only when asked to; else every folder looks
    // readable, and one the user may not enter lists as empty without a word.
    struct PermissionLookup
    {
        PermissionLookup() { ++qt_ntfs_permission_lookup; }
        ~PermissionLookup() { --qt_ntfs_permission_lookup; }
    } lookup;
#endif
    Walk state{fullTexts, report, {}, linkTargets};
    const QByteArray root = fileIdentity(folderPath.isEmpty() ? QStringLiteral(".") : folderPath);
    if (!root.isEmpty())
        state.visited.insert(root);
    walk(folderPath, state);
}
