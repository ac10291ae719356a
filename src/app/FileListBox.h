#pragma once
// The file list control: lists the files of one directory, its Path, one name
// per line in alphabetical order. Sub-directories, hidden files and system
// entries (devices, sockets, pipes, broken links) are left out. It starts with
// no directory and an empty list. A directory the file system does not have (a
// folder inside a disc image) is asked of the directory reader, when one is
// installed.

#include "app/Errors.h"

#include <QListWidget>

#include <functional>
#include <optional>

namespace app {

// A directory that does not exist or cannot be read.
class PathNotFound : public AppError {
public:
    explicit PathNotFound(const QString &path);
};

class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget *parent = nullptr);

    // The directory listed, as an absolute path; empty before the first setPath().
    QString path() const { return m_path; }
    // Lists the files of the directory. A directory that does not exist or
    // cannot be read throws PathNotFound and keeps the previous listing.
    void setPath(const QString &path);

    // The names listed, in order.
    QStringList fileNames() const;

    // Lists a directory that is not on the file system, nullopt when it cannot.
    using DirectoryReader = std::function<std::optional<QStringList>(const QString &path)>;
    static void setDirectoryReader(DirectoryReader reader);

private:
    // The visible files of a readable directory, sorted; throws PathNotFound.
    static QStringList listFiles(const QString &directory);
    static void sortNames(QStringList &names);

    QString m_path;
};

} // namespace app
