#pragma once

#include <QUrl>

#include <optional>

class ProjectRuntime;

// The Local Explorer page of a dev server: its address without one trailing "/", followed by
// "/cdn-cgi/explorer". None while the server has no address.
std::optional<QUrl> explorerAddress(const std::optional<QUrl>& serverAddress);
std::optional<QUrl> explorerAddress(const ProjectRuntime& runtime);
