#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Runs a program and collects its standard output, never for much longer than a time limit:
// at the limit reading stops, the program gets SIGTERM, SIGKILL after `killGraceMs`, and is
// reaped; what arrived until then is the result. Once the program has exited, only the bytes
// already in the pipe are taken, so a background process that inherited the pipe cannot hold
// the capture open. Gives nothing when the program cannot be started.
std::optional<QByteArray> captureOutput(const QString& program, const QStringList& arguments,
                                        double timeoutSeconds, int killGraceMs = 500);
