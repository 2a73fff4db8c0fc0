#pragma once

#include "ui/explorer/explorer_page.h"

// The factory an Explorer tab uses when it is given none. In the application it loads the web
// view module on first use (see web_view_module.h); a process that links the web view itself
// (the tests) puts its own in at start.
ExplorerPageFactory defaultExplorerPages();
void setDefaultExplorerPages(ExplorerPageFactory pages);
