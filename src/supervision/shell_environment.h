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

// The user's login shell: the value of SHELL whenever the variable exists, even empty (which
// cannot be started and so gives the fallback), and /bin/zsh only when it does not.
QString loginShell(const Environment& environment);

// Captures the environment of `shell` (by default the login shell of the application's own
// environment) on the waiting pool (base/work_pools.h). Never fails: a shell that cannot be
// started, times out before the marker or prints no variables gives the fallback. The future
// resolves within about `timeoutSeconds` plus half a second.
QFuture<Environment> resolve(double timeoutSeconds);
QFuture<Environment> resolve(const QString& shell, double timeoutSeconds);

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
