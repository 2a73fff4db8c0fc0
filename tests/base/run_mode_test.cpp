#include "base/app_settings.h"
#include "base/run_mode.h"

#include <gtest/gtest.h>

TEST(RunModeKind, RawValuesRoundTripAndUnknownIsRejected)
{
    for (RunModeKind mode : allRunModes())
        EXPECT_EQ(runModeFromRaw(rawValue(mode)), mode);
    EXPECT_EQ(rawValue(RunModeKind::devScript), QStringLiteral("devScript"));
    EXPECT_EQ(label(RunModeKind::pages), QStringLiteral("Wrangler Pages"));
    EXPECT_FALSE(runModeFromRaw(QStringLiteral("Wrangler")).has_value());
    EXPECT_FALSE(appearanceFromRaw(QStringLiteral("auto")).has_value());
}
