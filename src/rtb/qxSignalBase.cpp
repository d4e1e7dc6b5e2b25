#include "rtb/qxSignalBase.h"

namespace qxRTB {

AsyncSignal::~AsyncSignal() = default;

// --- connection items -----------------------------------------------------------

SignalBase::connectionItem::~connectionItem() {
    delete callback;
}

// Not inlined into the walks below: they call it on items they hold locked,
// which it only marks, but a compiler that cannot follow the lock count
// would take the path that frees the item and warn about the unlock after it.
[[gnu::noinline]] void SignalBase::connectionItem::destroy() {
    if (partner) {
        connectionItem* other = partner;
        other->partner = nullptr;
        other->destroy();
        partner = nullptr;
    }
    if (lockCount != 0) {
        destroyPending = true;
        return;
    }
    if (owner) {
        if (prev)
            prev->next = next;
        else
            owner->head = next;
        if (next) next->prev = prev;
        next = prev = nullptr;
        owner = nullptr;
    }
    // The callable's destructor may run code of its own, which finds this
    // item already out of every list.
    delete this;
}

// --- signals ----------------------------------------------------------------------

SignalBase::~SignalBase() {
    // Every item is detached and destroyed in list order. The item after the
    // one being destroyed is locked first: deleting a callable may run code
    // that destroys other connections of this signal, and a locked item is
    // then only marked, never freed under our feet. Connections made to the
    // dying signal meanwhile land in head again and are taken in turn.
    while (connectionItem* item = head) {
        head = nullptr;
        item->lock();
        while (item) {
            connectionItem* next = item->next;
            if (next) next->lock();
            item->next = item->prev = nullptr;
            item->owner = nullptr;
            item->destroy();  // locked by us: destroys the partner and marks it
            item->unlock();   // frees it, unless an emission still stands on it
            item = next;
        }
    }
}

SignalBase::connectionItem* SignalBase::link(FunctionBase* f) const {
    connectionItem* item = new connectionItem(const_cast<SignalBase*>(this));
    item->callback = f;
    item->next = head;
    if (head) head->prev = item;
    head = item;
    return item;
}

SignalBase::connectionItem* SignalBase::addCallback(FunctionBase* f) const {
    return link(f);
}

SignalBase::connectionItem* SignalBase::addCallback(FunctionBase* f, SignalClient& client) const {
    const SignalBase& clientList = static_cast<SignalClientBase&>(client);
    connectionItem* clientSide = clientList.link(nullptr);
    connectionItem* signalSide = link(f);
    clientSide->partner = signalSide;
    signalSide->partner = clientSide;
    return signalSide;
}

bool SignalBase::contains(const connectionItem* c) const {
    for (const connectionItem* item = head; item; item = item->next)
        if (item == c) return true;
    return false;
}

void SignalBase::disconnect(connectionItem* c) {
    if (contains(c)) c->destroy();
}

void SignalBase::block(connectionItem* c) {
    if (contains(c)) c->block();
}

void SignalBase::unblock(connectionItem* c) {
    if (contains(c)) c->unblock();
}

bool SignalBase::isBlocked(connectionItem* c) {
    return !contains(c) || c->isBlocked();
}

int SignalBase::numConnections() const {
    int n = 0;
    for (const connectionItem* item = head; item; item = item->next) ++n;
    return n;
}

void SignalBase::disconnectInstance(void* object) {
    // Hand over hand, as an emission walks: the next item is locked before
    // the current one is unlocked (and possibly freed).
    connectionItem* item = head;
    if (!item) return;
    item->lock();
    while (item) {
        if (item->callback && item->callback->isInstance(object)) item->destroy();
        connectionItem* next = item->next;
        if (next) next->lock();
        item->unlock();
        item = next;
    }
}

void* SignalBase::findInstance(void* object) {
    for (connectionItem* item = head; item; item = item->next)
        if (!item->destroyPending && item->callback && item->callback->isInstance(object))
            return item;
    return nullptr;
}

SignalBase::connectionItem* SignalBase::findGlobalCallback(void* function) {
    for (connectionItem* item = head; item; item = item->next)
        if (item->callback && item->callback->isGlobalFunction(function)) return item;
    return nullptr;
}

}  // namespace qxRTB
