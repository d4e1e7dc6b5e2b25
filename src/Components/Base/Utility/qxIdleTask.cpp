#include "Components/Base/Utility/qxIdleTask.h"

#include "containers/qxList.h"
#include "containers/qxTree.h"

#include <functional>

namespace qxUtil {

IdleTask::~IdleTask() = default;
IdleTasks::~IdleTasks() = default;

namespace {

using TaskRef = qx::Reference<IdleTask>;
using TaskList = qx::list<TaskRef>;

struct ByAddress {
    bool operator()(const TaskRef& a, const TaskRef& b) const {
        return std::less<const IdleTask*>()(a.get(), b.get());
    }
};

class IdleTasksImpl : public IdleTasks {
public:
    IdleTasksImpl() : m_cursor(m_tasks.end()) {}
    ~IdleTasksImpl() override = default;

    void add(TaskRef task) override {
        if (!task || m_index.find(task) != m_index.end()) return;
        m_tasks.push_back(task);
        m_index.try_emplace(task, std::prev(m_tasks.end()));
        if (m_tasks.size() == 1) sigChanged.emit();
    }

    void remove(TaskRef task) override {
        const auto found = m_index.find(task);
        if (found == m_index.end()) return;
        const TaskList::iterator node = found->second;
        if (m_cursor == node) ++m_cursor;
        m_index.erase(found);
        m_tasks.erase(node);
        if (m_tasks.empty()) sigChanged.emit();
    }

    // The cursor moves on before the step, so run() may remove any task,
    // itself included, and the next call still finds its place.
    void runNext() override {
        if (!hasTasks()) return;
        if (m_cursor == m_tasks.end()) m_cursor = m_tasks.begin();
        const TaskRef task = *m_cursor;  // kept alive through its step
        ++m_cursor;
        task->run();
        if (task->isFinished()) remove(task);
    }

    bool hasTasks() override { return !m_tasks.empty(); }

private:
    TaskList m_tasks;
    qx::map<TaskRef, TaskList::iterator, ByAddress> m_index;
    TaskList::iterator m_cursor;
};

}  // namespace

IdleTasks& getIdleTasks() {
    static IdleTasksImpl registry;
    return registry;
}

}  // namespace qxUtil
