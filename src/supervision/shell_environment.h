#pragma once

#include "base/environment.h"

#include <QByteArray>
#include <QFuture>
#include <QString>

// The environment of the user's login shell, so that `npx`, `pnpm`, `wrangler` and `node` are
// found the way the user's terminal finds them, and the environment dev servers get from it.
namespace ShellEnvironment {

// The line that separates start-up noise from the `env` listing.
inline constexpr char beginMarker[] = "__TALLOWMERE_ENV_BEGIN__";

// Captures the login shell's environment on a background thread. Never fails: a shell that
// cannot be started, times out before the marker or prints no variables gives the fallback.
// The future resolves within about `timeoutSeconds` plus half a second.
QFuture<Environment> resolve(double timeoutSeconds);

// The body of `resolve` for a given shell, blocking.
Environment environmentFromShell(const QString& shell, double timeoutSeconds);

// The variables after the begin marker of a capture; empty without the marker.
Environment parseCapture(const QByteArray& output);

// The application's own environment with the usual tool folders appended to PATH.
Environment fallbackEnvironment();
// `fallbackEnvironment` for a given base environment.
Environment completedPath(Environment base);

// The environment of a dev server: the node folder in front of PATH, agent markers removed,
// colour switched off.
Environment childEnvironment(const Environment& base, const QString& nodePath);

// The application's own process environment.
Environment processEnvironment();

} // namespace ShellEnvironment
