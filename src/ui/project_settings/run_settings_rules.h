#pragma once

#include "base/run_mode.h"

#include <QString>

struct ProjectInfo;

// What the Port field's text asks for when Return is pressed.
struct PortEntry
{
    enum class Kind {
        clear,    // empty: the port is chosen automatically at the next start
        port,     // a port to store
        rejected, // anything else: the field shows the stored port again, nothing is saved
    };
    Kind kind = Kind::rejected;
    int port = 0;

    // Trimmed; an integer with an optional sign, from 1024 to 65535, is a port.
    static PortEntry parse(const QString& text);

    friend bool operator==(const PortEntry&, const PortEntry&) = default;
};

// The run-mode picker's first choice, which stands for no override: "Auto-detect (" and the
// detected mode's label, or "…" before the project has been inspected, and ")".
QString autoDetectLabel(const ProjectInfo* info);

// The Command row belongs to the custom mode, the Port row to the two Wrangler modes.
inline bool hasCommandRow(RunModeKind mode)
{
    return mode == RunModeKind::custom;
}
inline bool hasPortRow(RunModeKind mode)
{
    return mode == RunModeKind::wrangler || mode == RunModeKind::pages;
}
