// The untyped core of signals: qxRTB::SignalBase, a doubly linked list of
// connection items, each owning the callable it calls; qxRTB::SignalClient,
// the list of the other halves of the connections an object has made; and
// the abstract qxRTB::AsyncSignal.
//
// Connections can change at any time, also from inside a callback that the
// same signal is running. An emission locks the item it stands on; a request
// to destroy a locked item only marks it, and the last unlock frees it. An
// emission reads the next item only after the callback has returned, so it
// never walks through a freed item.
//
// Signals, clients and connections belong to one thread; the lock count is
// a re-entrancy guard, not a thread lock.
#ifndef QXBASE_RTB_QXSIGNALBASE_H
#define QXBASE_RTB_QXSIGNALBASE_H

#include "qxDefs.h"
#include "rtb/qxFunction.h"

#include <cstdint>

namespace qxRTB {

class SignalClient;

class QX_API SignalBase {
public:
    // One half of a connection, heap-allocated. The signal-side half owns
    // the callable; the client-side half of a client-tied connection has
    // none and points at its partner.
    struct QX_API connectionItem {
        explicit connectionItem(SignalBase* owner) : owner(owner) {}
        // Copies take every field as it is, the callable's pointer included:
        // only one of the two may end up owning it.
        connectionItem(const connectionItem&) = default;
        connectionItem& operator=(const connectionItem&) = default;
        ~connectionItem();

        void lock() { ++lockCount; }
        // Frees the item when the last lock goes and a destruction waits.
        void unlock() {
            if (--lockCount == 0 && destroyPending) destroy();
        }
        void block() { ++blockCount; }
        void unblock() { --blockCount; }
        bool isBlocked() const { return blockCount > 0; }

        // Destroys the partner, then unlinks and frees this item, or, while
        // the item is locked, only marks it for its last unlock.
        void destroy();

        connectionItem* next = nullptr;
        connectionItem* prev = nullptr;  // null for the first
        FunctionBase* callback = nullptr;
        SignalBase* owner = nullptr;  // null once detached from its list
        connectionItem* partner = nullptr;
        std::uint16_t lockCount = 0;
        std::int16_t blockCount = 0;
        bool destroyPending = false;
    };

    // The items of other holders stay with them; a signal is not copied.
    SignalBase(const SignalBase&) = delete;
    SignalBase& operator=(const SignalBase&) = delete;
    // Destroys both halves of every connection. Items an emission still
    // stands on are freed when it leaves them.
    ~SignalBase();

    // Connects f (owned from now on, never null) in front of the others.
    connectionItem* addCallback(FunctionBase* f) const;

    // Handles that are not in this signal's list are ignored.
    void disconnect(connectionItem* c);
    void block(connectionItem* c);
    void unblock(connectionItem* c);
    // True also for a handle that is not in the list.
    bool isBlocked(connectionItem* c);

    // The whole signal: an emission stops at once while it is blocked.
    void block() { ++blockCount; }
    void unblock() { --blockCount; }
    bool isBlocked() const { return blockCount > 0; }

    // Items waiting for their last unlock still count.
    bool isConnected() const { return head != nullptr; }
    int numConnections() const;

protected:
    SignalBase() = default;

    // The connection dies with the client as well as with the signal.
    connectionItem* addCallback(FunctionBase* f, SignalClient& client) const;
    // Removes every connection bound to object, also during an emission.
    void disconnectInstance(void* object);
    // The first item bound to object that is not waiting to be freed.
    void* findInstance(void* object);
    // The first item calling that plain function, waiting or not.
    connectionItem* findGlobalCallback(void* function);

    // Whether c is one of this list's items. Never reads through c, which
    // may be a stale handle.
    bool contains(const connectionItem* c) const;

    mutable connectionItem* head = nullptr;
    std::int16_t blockCount = 0;

private:
    connectionItem* link(FunctionBase* f) const;
};

using Connection = SignalBase::connectionItem;

// The list of client-side halves. A copy starts without connections, and
// assignment keeps each object's own.
class QX_API SignalClientBase : protected SignalBase {
public:
    SignalClientBase() = default;
    SignalClientBase(const SignalClientBase&) : SignalBase() {}
    SignalClientBase& operator=(const SignalClientBase&) { return *this; }
    ~SignalClientBase() = default;

    using SignalBase::isConnected;
    using SignalBase::numConnections;

private:
    friend class SignalBase;
};

// Derive a receiver from SignalClient and its connections made through the
// typed signals end when it is destroyed.
class QX_API SignalClient : public SignalClientBase {};

// An emission to be run later, by whatever machinery implements it.
class QX_API AsyncSignal {
public:
    virtual ~AsyncSignal();
    virtual void post() = 0;
};

}  // namespace qxRTB

#endif
