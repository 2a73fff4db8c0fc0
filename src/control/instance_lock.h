#pragma once

#include <QMap>
#include <QString>

#include <memory>
#include <optional>

class QLockFile;

// Where the instance of one support folder keeps its lock and its control socket. The socket
// sits in the user's runtime folder ($XDG_RUNTIME_DIR, owner-only), named after a digest of
// the support folder so that instances of different support folders never meet.
struct InstanceAddress
{
    QString lockFile;
    QString socketPath;

    static InstanceAddress forSupportFolder(const QString& supportFolder);
};

// Whether a launch with this environment must be the only instance of its support folder:
// demo mode and the diagnostic runs write nothing and are never held back.
bool launchClaimsInstance(const QMap<QString, QString>& environment);

// The lock that makes this process the instance of its support folder, held until destroyed.
// A lock left by a process that no longer runs is taken over.
class InstanceLock
{
public:
    enum class Outcome { acquired, heldElsewhere, failed };

    explicit InstanceLock(const QString& lockFile);
    ~InstanceLock();

    Outcome tryAcquire();
    // The process holding the lock, when another one does.
    std::optional<qint64> holder() const;

private:
    std::unique_ptr<QLockFile> lock_;
};
