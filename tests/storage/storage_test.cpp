#include "storage/atomic_file.h"
#include "storage/storage.h"
#include "support/qt_printers.h"
#include "support/support_dir_override.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Environment variables for one test, restored afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name))
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, previous_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray previous_;
};

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

TEST(SupportDirectory, ExplicitFolderWinsThenXdgDataHomeThenHome)
{
    {
        ScopedEnv support("TALLOWMERE_SUPPORT_DIR", QByteArray("/tmp/elsewhere"));
        ScopedEnv xdg("XDG_DATA_HOME", QByteArray("/data"));
        EXPECT_EQ(supportDirectory(), QStringLiteral("/tmp/elsewhere"));
        EXPECT_EQ(dataFilePath(QStringLiteral("registry.json")),
                  QStringLiteral("/tmp/elsewhere/registry.json"));
    }
    {
        ScopedEnv support("TALLOWMERE_SUPPORT_DIR", std::nullopt);
        ScopedEnv xdg("XDG_DATA_HOME", QByteArray("/data"));
        EXPECT_EQ(supportDirectory(), QStringLiteral("/data/Tallowmere"));
    }
    {
        // Unset, empty and relative values fall back to the home folder.
        ScopedEnv support("TALLOWMERE_SUPPORT_DIR", QByteArray(""));
        ScopedEnv home("HOME", QByteArray("/home/someone"));
        for (const std::optional<QByteArray>& xdgValue :
             {std::optional<QByteArray>(), std::optional<QByteArray>(""),
              std::optional<QByteArray>("relative/data")}) {
            ScopedEnv xdg("XDG_DATA_HOME", xdgValue);
            EXPECT_EQ(supportDirectory(), QStringLiteral("/home/someone/.local/share/Tallowmere"));
        }
    }
}

TEST(SaveJSON, CreatesMissingFoldersAndWritesTheWrittenForm)
{
    SupportDirOverride support;
    qputenv("TALLOWMERE_SUPPORT_DIR", support.file(QStringLiteral("a/b/c")).toUtf8());
    const QJsonObject value{{QStringLiteral("path"), QStringLiteral("/x")}};

    EXPECT_EQ(saveJSON(value, QStringLiteral("registry.json")), std::nullopt);

    EXPECT_EQ(readWholeFile(support.file(QStringLiteral("a/b/c/registry.json"))),
              QByteArray("{\n  \"path\" : \"\\/x\"\n}"));
    // Nothing but the file itself is left in the folder (no temporary files).
    EXPECT_EQ(entriesOf(support.file(QStringLiteral("a/b/c"))),
              QStringList{QStringLiteral("registry.json")});
}

TEST(SaveJSON, FailureIsLoggedWithTheFileNameAndLeavesNoFile)
{
    SupportDirOverride support;
    // A regular file where the support folder should be: the folder cannot be created.
    const QString blocker = support.temp().write(QStringLiteral("blocker"), "not a folder");
    qputenv("TALLOWMERE_SUPPORT_DIR", (blocker + QStringLiteral("/Tallowmere")).toUtf8());

    const std::optional<QString> logged =
        saveJSON(QJsonObject{{QStringLiteral("a"), 1}}, QStringLiteral("settings.json"));

    ASSERT_TRUE(logged.has_value());
    EXPECT_TRUE(logged->startsWith(QStringLiteral("Tallowmere: failed to save settings.json: ")))
        << logged->toStdString();
    EXPECT_GT(logged->size(), QStringLiteral("Tallowmere: failed to save settings.json: ").size());
    EXPECT_EQ(readDataFile(QStringLiteral("settings.json")).status, DataFileRead::Status::absent);
}

TEST(SaveJSON, ReadingNeverCreatesTheFolderAndDeletingIgnoresMissingFiles)
{
    SupportDirOverride support;
    EXPECT_EQ(readDataFile(QStringLiteral("registry.json")).status, DataFileRead::Status::absent);
    deleteDataFile(QStringLiteral("running.json"));
    EXPECT_FALSE(QFileInfo::exists(support.dir()));

    saveJSON(QJsonArray{1}, QStringLiteral("running.json"));
    const DataFileRead read = readDataFile(QStringLiteral("running.json"));
    EXPECT_EQ(read.status, DataFileRead::Status::read);
    EXPECT_EQ(read.bytes, QByteArray("[\n  1\n]"));
    deleteDataFile(QStringLiteral("running.json"));
    EXPECT_EQ(readDataFile(QStringLiteral("running.json")).status, DataFileRead::Status::absent);
}

TEST(MoveDataFileAside, KeepsEveryCopyUnderADistinctName)
{
    SupportDirOverride support;
    EXPECT_EQ(moveDataFileAside(QStringLiteral("registry.json")), std::nullopt);

    QDir().mkpath(support.dir());
    support.temp().write(QStringLiteral("support/registry.json"), "first");
    const std::optional<QString> first = moveDataFileAside(QStringLiteral("registry.json"));
    support.temp().write(QStringLiteral("support/registry.json"), "second");
    const std::optional<QString> second = moveDataFileAside(QStringLiteral("registry.json"));

    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(QFileInfo(*first).fileName().startsWith(QStringLiteral("registry.json.corrupt-")));
    EXPECT_EQ(readWholeFile(*first), QByteArray("first"));
    EXPECT_EQ(readWholeFile(*second), QByteArray("second"));
    EXPECT_FALSE(QFileInfo::exists(support.file(QStringLiteral("registry.json"))));
}

// --- Atomic replacement under injected faults -------------------------------------------------

namespace {

// How many bytes the injected write lets through before it fails.
std::size_t writeBudget = 0;

ssize_t writeThenFail(int fd, const void* data, size_t size)
{
    if (writeBudget == 0) {
        errno = ENOSPC;
        return -1;
    }
    const size_t now = std::min(size, writeBudget);
    writeBudget -= now;
    return ::write(fd, data, now); // short writes are retried by the writer
}

int failingFsync(int)
{
    errno = EIO;
    return -1;
}

int failingRename(const char*, const char*)
{
    errno = EXDEV;
    return -1;
}

ssize_t oneByteAtATime(int fd, const void* data, size_t size)
{
    return size == 0 ? 0 : ::write(fd, data, 1);
}

// Dies in the middle of the write, as a crash or a kill would.
ssize_t writeHalfThenDie(int fd, const void* data, size_t size)
{
    (void)::write(fd, data, size / 2);
    _exit(42);
}

} // namespace

class AtomicWrite : public ::testing::Test
{
protected:
    TempFolder folder;
    QString target = folder.write(QStringLiteral("registry.json"), oldContent);
    static inline const QByteArray oldContent = "{\n  \"old\" : true\n}";
    static inline const QByteArray newContent = "{\n  \"new\" : \"a longer replacement\"\n}";

    void expectOldFileAlone()
    {
        EXPECT_EQ(readWholeFile(target), oldContent);
        EXPECT_EQ(entriesOf(folder.path()), QStringList{QStringLiteral("registry.json")});
    }
};

TEST_F(AtomicWrite, AWriteFailingAtAnyByteLeavesTheOldFile)
{
    FileOps ops = systemFileOps();
    ops.write = writeThenFail;
    for (std::size_t budget = 0; budget < std::size_t(newContent.size()); ++budget) {
        writeBudget = budget;
        const std::optional<QString> error = writeFileAtomically(target, newContent, ops);
        ASSERT_TRUE(error.has_value()) << budget;
        EXPECT_TRUE(error->contains(QStringLiteral("cannot write"))) << error->toStdString();
        expectOldFileAlone();
    }
}

TEST_F(AtomicWrite, FailingFlushOrRenameLeavesTheOldFile)
{
    FileOps flushFails = systemFileOps();
    flushFails.fsync = failingFsync;
    EXPECT_TRUE(writeFileAtomically(target, newContent, flushFails).has_value());
    expectOldFileAlone();

    FileOps renameFails = systemFileOps();
    renameFails.rename = failingRename;
    EXPECT_TRUE(writeFileAtomically(target, newContent, renameFails).has_value());
    expectOldFileAlone();
}

TEST_F(AtomicWrite, ShortWritesStillProduceTheWholeFile)
{
    FileOps ops = systemFileOps();
    ops.write = oneByteAtATime;
    EXPECT_EQ(writeFileAtomically(target, newContent, ops), std::nullopt);
    EXPECT_EQ(readWholeFile(target), newContent);
    EXPECT_EQ(entriesOf(folder.path()), QStringList{QStringLiteral("registry.json")});
}

TEST_F(AtomicWrite, AProcessDyingMidWriteLeavesTheOldFileAndTheNextSaveSucceeds)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FileOps ops = systemFileOps();
        ops.write = writeHalfThenDie;
        writeFileAtomically(target, newContent, ops);
        _exit(0); // not reached
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 42);

    // The half-written temporary file is left behind, but it never replaced the target.
    EXPECT_EQ(readWholeFile(target), oldContent);
    EXPECT_EQ(entriesOf(folder.path()).size(), 2);

    EXPECT_EQ(writeFileAtomically(target, newContent), std::nullopt);
    EXPECT_EQ(readWholeFile(target), newContent);
}

TEST_F(AtomicWrite, ReplacesAFileThatIsReadOnlyAndCreatesOneThatIsMissing)
{
    QFile::setPermissions(target, QFile::ReadOwner);
    EXPECT_EQ(writeFileAtomically(target, newContent), std::nullopt);
    EXPECT_EQ(readWholeFile(target), newContent);

    const QString fresh = folder.filePath(QStringLiteral("settings.json"));
    EXPECT_EQ(writeFileAtomically(fresh, "{}"), std::nullopt);
    EXPECT_EQ(readWholeFile(fresh), QByteArray("{}"));
}
