#pragma once

#include <QString>

// The state of a project's dev server as shown everywhere. `error` carries a message.
class ProjectStatus
{
public:
    enum class Kind { stopped, starting, running, error };

    ProjectStatus() = default;
    static ProjectStatus stopped() { return ProjectStatus(Kind::stopped, {}); }
    static ProjectStatus starting() { return ProjectStatus(Kind::starting, {}); }
    static ProjectStatus running() { return ProjectStatus(Kind::running, {}); }
    static ProjectStatus error(const QString& message)
    {
        return ProjectStatus(Kind::error, message);
    }

    Kind kind() const { return kind_; }
    // Empty unless the kind is `error`.
    const QString& message() const { return message_; }
    bool isActive() const { return kind_ == Kind::starting || kind_ == Kind::running; }

    friend bool operator==(const ProjectStatus&, const ProjectStatus&) = default;

private:
    ProjectStatus(Kind kind, QString message) : kind_(kind), message_(std::move(message)) {}

    Kind kind_ = Kind::stopped;
    QString message_;
};
