#include "app/FileListBox.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace app {

PathNotFound::PathNotFound(const QString &path)
    : AppError(QStringLiteral("Path not found: %1").arg(path.isEmpty() ? QStringLiteral("(empty)") : path)) {}

FileListBox::FileListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    // Names longer than the box are cut off, as in a classic file list; only
    // the vertical bar appears, and only when the names do not fit.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
}

namespace {

FileListBox::DirectoryReader &directoryReader()
{
    static FileListBox::DirectoryReader reader;
    return reader;
}

} // namespace

void FileListBox::setDirectoryReader(DirectoryReader reader) { directoryReader() = std::move(reader); }

QStringList FileListBox::listFiles(const QString &directory)
{
    // An empty text would mean the working directory to QDir; it names no directory here.
    if (directory.isEmpty())
        throw PathNotFound(directory);
    const QFileInfo info(directory);
    if (!info.exists() && directoryReader()) {
        if (std::optional<QStringList> names = directoryReader()(directory)) {
            sortNames(*names);
            return *names;
        }
    }
    // Listing needs both: read for the names, search for telling files from directories.
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        throw PathNotFound(directory);
    QDir dir(info.absoluteFilePath());
    // Without QDir::Hidden and QDir::System, dot files, devices, sockets, pipes and
    // broken links stay out; symbolic links to files count as files.
    QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    // A directory that vanished or stopped being readable between the check and the read.
    if (!dir.exists())
        throw PathNotFound(directory);
    sortNames(names);
    return names;
}

void FileListBox::sortNames(QStringList &names)
{
    // Alphabetical regardless of case, character by character (the same order in
    // every locale); names that differ only in case keep a fixed order too.
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

void FileListBox::setPath(const QString &path)
{
    // List first: a failure leaves the box as it was.
    const QStringList names = listFiles(path);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    clear();
    addItems(names);
    m_path = QDir::cleanPath(absolute);
}

QStringList FileListBox::fileNames() const
{
    QStringList names;
    names.reserve(count());
    for (int i = 0; i < count(); ++i)
        names << item(i)->text();
    return names;
}

} // namespace app
