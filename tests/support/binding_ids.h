#pragma once

#include "discovery/config/parsed_config.h"

#include <QStringList>

// The identities of a configuration's bindings, in extraction order.
inline QStringList idsOf(const ParsedConfig& config)
{
    QStringList ids;
    for (const WorkerBinding& binding : config.bindings)
        ids.append(binding.id());
    return ids;
}
