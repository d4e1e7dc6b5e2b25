// Idle tasks: background work spread over the host's idle time on its main
// thread, one small increment per call. A component derives a task from
// qxUtil::IdleTask and adds it to getIdleTasks(); the host calls runNext()
// whenever it has nothing else to do, and listens to sigChanged to know
// when there is work at all.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXIDLETASK_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXIDLETASK_H

#include "containers/qxReferenceCount.h"
#include "qxDefs.h"
#include "rtb/qxSignal.h"

namespace qxUtil {

// Held through qx::Reference; the registry keeps a task alive while it is
// registered.
class QX_API IdleTask : public qx::ReferenceCount {
public:
    IdleTask() : m_finished(false) {}
    ~IdleTask() override;
    // One increment of work; call setFinished() when nothing is left.
    virtual void run() = 0;
    bool isFinished() const { return m_finished; }
    void setFinished() { m_finished = true; }

private:
    bool m_finished;
};

// The registry. Tasks are served in turn, in the order they were added, one
// run() per runNext(); a finished task is dropped after its step. A task may
// add or remove tasks, itself included, from inside run(). Main thread only.
class QX_API IdleTasks {
public:
    // A task already registered is ignored.
    virtual void add(qx::Reference<IdleTask> task) = 0;
    // A task not registered is ignored.
    virtual void remove(qx::Reference<IdleTask> task) = 0;
    virtual void runNext() = 0;
    virtual bool hasTasks() = 0;

    // Emitted when the registry goes from empty to one task, and from one
    // task to empty.
    qxRTB::SignalVoid sigChanged;

protected:
    virtual ~IdleTasks();
};

// The process-wide registry, created on first use (safely from any thread)
// and destroyed when the library unloads.
QX_API IdleTasks& getIdleTasks();

}  // namespace qxUtil

#endif
