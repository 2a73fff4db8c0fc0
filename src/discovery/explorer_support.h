#pragma once

#include "base/project.h"
#include "discovery/project_info.h"

#include <QString>

// Whether a project's tooling is new enough to serve the Local Explorer, and if not, which
// package is too old and the command that installs its newest version.
struct ExplorerSupport
{
    enum class Kind { ok, tooOld };

    Kind kind = Kind::ok;
    // Set for `tooOld` only.
    QString package;   // the npm package that is too old
    QString installed; // its version as written in its package.json
    QString required;  // the lowest version that serves the Local Explorer
    QString command;   // installs the newest version with the project's package manager

    static ExplorerSupport ok() { return {}; }
    bool isOk() const { return kind == Kind::ok; }

    friend bool operator==(const ExplorerSupport&, const ExplorerSupport&) = default;
};

namespace ExplorerMinimum {
inline constexpr char wranglerPackage[] = "wrangler";
inline constexpr char wrangler[] = "4.82.1";
inline constexpr char vitePluginPackage[] = "@cloudflare/vite-plugin";
inline constexpr char vitePlugin[] = "1.32.0";
} // namespace ExplorerMinimum

// In Vite mode an old Vite plugin decides first; then an old Wrangler. A version that is missing
// or does not parse never makes a project too old, and neither does a missing record.
ExplorerSupport explorerSupport(const Project& project, const ProjectInfo* info);
