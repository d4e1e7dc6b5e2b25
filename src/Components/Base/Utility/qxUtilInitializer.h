// qxUtil::Initializer: start-up work that runs once, after every static
// object exists, in an order that respects declared dependencies, and the
// matching shut-down work in reverse order.
//
// A component derives a class, creates one static instance (construction
// registers it), may call dependsOn() in its constructor, and implements
// initialize() and, when needed, finalize(). The host application calls
// initializeAll() once at start-up and finalizeAll() at shut-down; the
// library never calls them itself. Registration and both static calls belong
// to the one thread that starts and stops the application: nothing is locked.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXUTILINITIALIZER_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXUTILINITIALIZER_H

#include "diagnostics/qxError.h"
#include "qxDefs.h"

namespace qxUtil {

class QX_API Initializer {
public:
    // Registers this object for the next initializeAll(). It must live until
    // initializeAll() and finalizeAll() have run: a static object.
    Initializer();
    // Copies are not registered.
    Initializer(const Initializer& other);
    Initializer& operator=(const Initializer& other);
    // Does not unregister.
    virtual ~Initializer();

    // Error number 0 for success.
    virtual Error initialize() = 0;

    // The dependency weight of the last initializeAll() runs: the number of
    // dependency chains from registered initializers that end here, summed
    // over the runs that weighed this object (capped at INT_MAX).
    int getCount() const { return m_count; }

    // Runs every registered initializer, those that others depend on first
    // (higher weight first, registration order among equals), and returns
    // the last failure, or success. Every initializer runs even after a
    // failure and is recorded for finalizeAll(). The registered set and its
    // dependencies are consumed. When their dependencies form a cycle there
    // is no order to run them in: error 13 says so, nothing runs, and the
    // set is dropped all the same (its objects may not outlive the call).
    static Error initializeAll();
    // Finalizes every initialized object, the most recently initialized
    // first, and forgets them.
    static void finalizeAll();

    // The number of registered (not yet run) and of initialized (not yet
    // finalized) objects.
    static int numRegistered();
    static int numInitialized();

protected:
    // This initializer needs other to be initialized first.
    void dependsOn(Initializer* other);
    virtual void finalize();

private:
    void addInit();

    const char* m_sourceFile;
    int m_count;
};

}  // namespace qxUtil

#endif
