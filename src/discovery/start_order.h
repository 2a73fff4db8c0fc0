#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A registered project as the start order sees it: its Worker's name and the Workers its
// bindings need running (services, Durable Objects of other scripts, tail consumers).
struct ServiceNode
{
    QString projectID;
    QString workerName; // empty when the configuration names none
    QStringList neededWorkers;
};

// A binding's Worker that no registered project provides (or that several provide, so that
// starting one would be a guess).
struct UnresolvedWorker
{
    QString projectID; // the project whose binding names it
    QString worker;

    friend bool operator==(const UnresolvedWorker&, const UnresolvedWorker&) = default;
};

// Projects started in one step. A step holds one project, or the members of a cycle of
// bindings, which start together because none can wait for another.
struct StartStep
{
    QStringList projectIDs;
    bool cycle() const { return projectIDs.size() > 1; }

    friend bool operator==(const StartStep&, const StartStep&) = default;
};

struct StartPlan
{
    // Every project the start needs, each step after the steps it needs; the last step holds
    // the project asked for.
    QList<StartStep> steps;
    QList<UnresolvedWorker> unresolved; // in the order they were met
};

// The order in which to start `projectID` with every registered project it needs, transitively.
// A binding to its own Worker needs nothing. Deterministic: needs are followed in their
// listed order. An unknown projectID gives an empty plan.
StartPlan planServiceStart(const QString& projectID, const QList<ServiceNode>& nodes);
