#pragma once

#include "base/run_mode.h"

#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>
#include <utility>
#include <variant>

// Recognises the few messages of dev servers that matter to their supervisor: where they are
// ready, that another instance of the project already runs, and that a port is taken. Works on
// single lines already split and cleaned of escape sequences. Pure; safe on any thread.
namespace OutputParser {

// One line of a several-line announcement that a dev server is already running.
struct AttachField
{
    struct Marker
    {
        friend bool operator==(const Marker&, const Marker&) = default;
    };
    std::variant<Marker, QUrl, qint32> value;

    static AttachField marker() { return {Marker{}}; }
    bool isMarker() const { return std::holds_alternative<Marker>(value); }
    const QUrl* url() const { return std::get_if<QUrl>(&value); }
    const qint32* pid() const { return std::get_if<qint32>(&value); }
    friend bool operator==(const AttachField&, const AttachField&) = default;
};

struct RunningAt
{
    QUrl url;
    qint32 pid = 0;
    friend bool operator==(const RunningAt&, const RunningAt&) = default;
};

// Trims ".,;)" from both ends, reads "0.0.0.0" as localhost, and accepts only a URL with an
// explicit port.
std::optional<QUrl> normalizeAddress(const QString& captured);

// What a line may announce, found in one pass over it: a line without a clue for a kind cannot
// match that kind's reader, so the readers (each a search of its own) run only on the rare
// lines that have one. A clue is no finding: the reader still decides.
struct LineClues
{
    bool portInUse = false;      // "use", as in "address already in use" and "EADDRINUSE"
    bool alreadyRunning = false; // "running at" or Vite's "Found another"
    bool attachField = false;    // "already running", "URL:" or "PID:"
};
LineClues cluesIn(QStringView line);

std::optional<int> portInUse(const QString& line);
// The one-line forms: "already running at URL (pid N)", and Vite's refusal "Found another Vite
// dev process for this project at URL (PID N)".
std::optional<RunningAt> alreadyRunningAt(const QString& line);
std::optional<AttachField> attachField(const QString& line);
std::optional<QUrl> readyURL(const QString& line, RunModeKind mode);

} // namespace OutputParser
