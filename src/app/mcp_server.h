#pragma once

#include <QStringList>

// `tallowmere mcp`: a Model Context Protocol server on standard input and output that relays
// to the running instance over its control socket. Standard output carries only protocol
// messages; it returns 0 at the end of input.
int runMcpServer(const QStringList& arguments);
