#pragma once

// The temporary files a conversion has on disk at a time (the intermediate
// frame file, the movie before it is put in place), known to a signal handler
// that must end the program at once: RemoveTemporaryFiles() only calls
// unlink(2) on fixed buffers, so it is safe in a signal handler.

#include <QByteArray>

// Remembers a path until ForgetTemporaryFile(path); false when all places
// are taken (the file is then only removed the ordinary way).
bool RememberTemporaryFile(const QByteArray& path);
void ForgetTemporaryFile(const QByteArray& path);

// Removes every remembered file. Async-signal-safe.
void RemoveTemporaryFiles();
