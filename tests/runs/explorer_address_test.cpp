#include "runs/explorer_address.h"
#include "runs/project_runtime.h"
#include "support/run_state_access.h"

#include <gtest/gtest.h>

TEST(ExplorerAddress, FollowsTheServerAddressWithExactlyOneSlashBeforeTheExplorerPath)
{
    ProjectRuntime runtime;
    EXPECT_EQ(explorerAddress(runtime), std::nullopt) << "no address, no Explorer";

    RunStateTestAccess::setUrl(runtime, QUrl(QStringLiteral("http://localhost:8787")));
    EXPECT_EQ(explorerAddress(runtime),
              QUrl(QStringLiteral("http://localhost:8787/cdn-cgi/explorer")));
    RunStateTestAccess::setUrl(runtime, QUrl(QStringLiteral("http://127.0.0.1:5173/")));
    EXPECT_EQ(explorerAddress(runtime)->toString(),
              QStringLiteral("http://127.0.0.1:5173/cdn-cgi/explorer"));
    RunStateTestAccess::setUrl(runtime, QUrl(QStringLiteral("http://[::1]:8788/base/")));
    EXPECT_EQ(explorerAddress(runtime)->toString(),
              QStringLiteral("http://[::1]:8788/base/cdn-cgi/explorer"));
}
