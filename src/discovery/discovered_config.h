#pragma once

#include <QHashFunctions>
#include <QString>

// A configuration file found in a folder: `dir` as the walk produced it (not standardized)
// and `file`, one of the configuration file names.
struct DiscoveredConfig
{
    QString dir;
    QString file;

    friend bool operator==(const DiscoveredConfig&, const DiscoveredConfig&) = default;
};

inline size_t qHash(const DiscoveredConfig& config, size_t seed = 0)
{
    return qHashMulti(seed, config.dir, config.file);
}
