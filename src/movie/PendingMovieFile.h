#pragma once

// PendingMovieFile: a movie is written beside its target under a temporary
// name (".NAME-XXXXXX.EXT" in the same folder, so the rename stays on one
// file system) and put in place only when it is complete. A conversion that
// fails or is cancelled leaves the file that was there as it was, and removes
// what it wrote. The movie gets the mode of the file it replaces, or the
// usual mode for a new file (0666 less the umask).
//
// A target that exists but is not a regular file (a pipe, /dev/null, a
// terminal) is written directly: there is nothing to keep, and such a file
// cannot be replaced by a rename.

#include <QByteArray>
#include <QString>

class PendingMovieFile {
public:
    explicit PendingMovieFile(QByteArray target) : target_(std::move(target)) {}
    ~PendingMovieFile(); // discards a movie not committed
    PendingMovieFile(const PendingMovieFile&) = delete;
    PendingMovieFile& operator=(const PendingMovieFile&) = delete;

    // Makes the file to write; false with the system's reason when the
    // folder does not take it (or the target is a folder).
    bool create(QString* reason);
    // Where the movie writer writes.
    const QByteArray& writePath() const { return writePath_; }
    // Puts the movie in place of the target; false with the system's reason.
    bool commit(QString* reason);
    // Removes what was written.
    void discard();

private:
    QByteArray target_;
    QByteArray writePath_;
    bool temporary_ = false; // writePath_ is ours to remove
};
