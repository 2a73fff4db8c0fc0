#include "runs/explorer_address.h"

#include "runs/project_runtime.h"

std::optional<QUrl> explorerAddress(const std::optional<QUrl>& serverAddress)
{
    if (!serverAddress)
        return std::nullopt;
    QString text = serverAddress->toString();
    if (text.endsWith(u'/'))
        text.chop(1);
    return QUrl(text + QStringLiteral("/cdn-cgi/explorer"));
}

std::optional<QUrl> explorerAddress(const ProjectRuntime& runtime)
{
    return explorerAddress(runtime.url());
}
