#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

// The system calls an atomic write goes through. Tests replace single calls to inject a failure
// (or a crash) at any step; everything else uses systemFileOps().
struct FileOps
{
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*fsync)(int fd);
    int (*rename)(const char* from, const char* to);
};

const FileOps& systemFileOps();

// Replaces `path` with `data` so that a reader sees either the old or the new file, never a
// partial one: the bytes go to a new temporary file in the same folder, are flushed to disk and
// the temporary file is then renamed over the target. On failure the temporary file is removed
// and the target is untouched. Returns none on success, else a description of what failed.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& data,
                                           const FileOps& ops = systemFileOps());
