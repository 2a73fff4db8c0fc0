#include "discovery/discovery_names.h"

#include <cstring>
#include <iterator>

namespace {

constexpr const char* configNames[] = {"wrangler.jsonc", "wrangler.json", "wrangler.toml"};
constexpr const char* skippedNames[] = {"node_modules", ".wrangler", ".git",       "dist",
                                        ".output",      ".next",     ".localflare"};

QStringList toList(const char* const* names, std::size_t count)
{
    QStringList list;
    for (std::size_t i = 0; i < count; ++i)
        list.append(QString::fromLatin1(names[i]));
    return list;
}

} // namespace

const QStringList& configFileNames()
{
    static const QStringList names = toList(configNames, std::size(configNames));
    return names;
}

std::optional<int> configFileRank(const QString& name)
{
    const qsizetype index = configFileNames().indexOf(name);
    if (index < 0)
        return std::nullopt;
    return int(index);
}

std::optional<int> configFileRank(const char* name)
{
    // Called for every file the walk meets: a cheap prefix test rejects almost all of them.
    if (std::strncmp(name, "wrangler.", 9) != 0)
        return std::nullopt;
    for (std::size_t i = 0; i < std::size(configNames); ++i)
        if (std::strcmp(name, configNames[i]) == 0)
            return int(i);
    return std::nullopt;
}

const QStringList& skippedDirectoryNames()
{
    static const QStringList names = toList(skippedNames, std::size(skippedNames));
    return names;
}

bool isSkippedDirectoryName(const QString& name)
{
    return skippedDirectoryNames().contains(name);
}

bool isSkippedDirectoryName(const char* name)
{
    for (const char* skipped : skippedNames)
        if (std::strcmp(name, skipped) == 0)
            return true;
    return false;
}
