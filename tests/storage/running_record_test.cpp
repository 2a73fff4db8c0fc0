#include "storage/json_writer.h"
#include "storage/running_record.h"
#include "storage/storage.h"
#include "support/qt_printers.h"
#include "support/support_dir_override.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

const QList<RunningRecord> twoRecords{
    {QStringLiteral("/home/me/api"), 41235, 1765100000},
    {QStringLiteral("/home/me/blog"), 2147483647, 0},
};

} // namespace

TEST(RunningRecords, SaveWritesTheExactFormAndLoadReadsItBack)
{
    SupportDirOverride support;
    EXPECT_EQ(saveRunningRecords(twoRecords), std::nullopt);
    const QByteArray expected = R"json([
  {
    "pid" : 41235,
    "projectID" : "\/home\/me\/api",
    "startSec" : 1765100000
  },
  {
    "pid" : 2147483647,
    "projectID" : "\/home\/me\/blog",
    "startSec" : 0
  }
])json";
    EXPECT_EQ(readWholeFile(support.file(QStringLiteral("running.json"))), expected);
    EXPECT_EQ(loadRunningRecords(), twoRecords);
}

TEST(RunningRecords, SavingAnEmptyListDeletesTheFile)
{
    SupportDirOverride support;
    saveRunningRecords(twoRecords);
    EXPECT_EQ(saveRunningRecords({}), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(support.file(QStringLiteral("running.json"))));
    EXPECT_TRUE(loadRunningRecords().isEmpty());
}

TEST(RunningRecords, AnyBadRecordFailsTheWholeListWhichThenCountsAsEmpty)
{
    EXPECT_EQ(decodeRunningRecords("[]"), QList<RunningRecord>{});
    EXPECT_EQ(decodeRunningRecords(R"([{"startSec": 5, "pid": 7, "projectID": "/p", "x": 1}])"),
              (QList<RunningRecord>{{QStringLiteral("/p"), 7, 5}}));

    const char* bad[] = {
        R"([{"pid": 7, "projectID": "/p"}])",
        R"([{"pid": "7", "projectID": "/p", "startSec": 5}])",
        R"([{"pid": 7, "projectID": null, "startSec": 5}])",
        R"([{"pid": 2147483648, "projectID": "/p", "startSec": 5}])",
        R"([{"pid": 7.5, "projectID": "/p", "startSec": 5}])",
        R"([{"pid": 7, "projectID": "/p", "startSec": -1}])",
        R"([{"pid": 7, "projectID": "/p", "startSec": 5}, 3])",
        R"({"pid": 7, "projectID": "/p", "startSec": 5})",
        R"([{"pid": 7, "projectID": "/p", "startSec": 5})",
    };
    for (const char* document : bad)
        EXPECT_FALSE(decodeRunningRecords(document)) << document;

    SupportDirOverride support;
    support.temp().write(QStringLiteral("support/running.json"), bad[0]);
    EXPECT_TRUE(loadRunningRecords().isEmpty());
}

TEST(RunningRecords, LargeStartTimesKeepEveryDigit)
{
    const QList<RunningRecord> records{{QStringLiteral("/p"), 1, 9007199254740993ULL}}; // 2^53 + 1
    EXPECT_EQ(decodeRunningRecords(encodeDataFileJson(encodeRunningRecords(records))), records);
}
