#include "discovery/start_order.h"

#include <QHash>

#include <algorithm>

namespace {

// Tarjan's strongly connected components over the projects reachable from the start. A
// component is complete only after every component it reaches is, so the components come out
// with what they need first: exactly the start order.
class Planner
{
    struct Mark
    {
        int order = -1;
        int low = -1;
        bool onStack = false;
    };

public:
    explicit Planner(const QList<ServiceNode>& nodes) : nodes_(nodes), marks_(nodes.size())
    {
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            index_.insert(nodes[i].projectID, i);
            const QString& worker = nodes[i].workerName;
            if (worker.isEmpty())
                continue;
            // -1 marks a Worker name that several projects declare.
            owners_.insert(worker, owners_.contains(worker) ? -1 : i);
        }
    }

    StartPlan plan(const QString& projectID)
    {
        const auto start = index_.constFind(projectID);
        if (start != index_.constEnd())
            visit(*start);
        return std::move(plan_);
    }

private:
    QList<qsizetype> needs(qsizetype node)
    {
        QList<qsizetype> found;
        const ServiceNode& from = nodes_[node];
        for (const QString& worker : from.neededWorkers) {
            if (worker == from.workerName)
                continue;
            const qsizetype owner = owners_.value(worker, -1);
            if (owner < 0) {
                const UnresolvedWorker missing{from.projectID, worker};
                if (!plan_.unresolved.contains(missing))
                    plan_.unresolved.append(missing);
            } else if (!found.contains(owner)) {
                found.append(owner);
            }
        }
        return found;
    }

    void visit(qsizetype node)
    {
        marks_[node].order = marks_[node].low = counter_++;
        marks_[node].onStack = true;
        stack_.append(node);
        for (const qsizetype next : needs(node)) {
            if (marks_[next].order < 0) {
                visit(next);
                marks_[node].low = std::min(marks_[node].low, marks_[next].low);
            } else if (marks_[next].onStack) {
                marks_[node].low = std::min(marks_[node].low, marks_[next].order);
            }
        }
        if (marks_[node].low != marks_[node].order)
            return;
        StartStep step;
        qsizetype member = -1;
        while (member != node) {
            member = stack_.takeLast();
            marks_[member].onStack = false;
            step.projectIDs.prepend(nodes_[member].projectID);
        }
        plan_.steps.append(step);
    }

    const QList<ServiceNode>& nodes_;
    QHash<QString, qsizetype> index_;
    QHash<QString, qsizetype> owners_;
    QList<Mark> marks_;
    QList<qsizetype> stack_;
    int counter_ = 0;
    StartPlan plan_;
};

} // namespace

StartPlan planServiceStart(const QString& projectID, const QList<ServiceNode>& nodes)
{
    return Planner(nodes).plan(projectID);
}
