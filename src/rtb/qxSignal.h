// Typed signals: qxRTB::SignalVoid, SignalArg<A>, Signal2Args<A, B> and
// Signal3Args<A, B, C>, all forms of SignalOf<Args...> over the untyped
// SignalBase.
//
//     qxRTB::SignalArg<int> changed;
//     changed.connect(&onChanged);                // a plain function
//     changed.connect(view, &View::update);       // an object's member function
//     changed.connect([](int v) { ... });         // any function object
//     changed.emit(42);                           // or changed(42)
//
// The newest connection is called first. A receiver derived from
// SignalClient is disconnected when it is destroyed; so is a function object
// connected together with a client. Emission allocates nothing and is inline.
#ifndef QXBASE_RTB_QXSIGNAL_H
#define QXBASE_RTB_QXSIGNAL_H

#include "qxDefs.h"
#include "rtb/qxFunction.h"
#include "rtb/qxSignalBase.h"

#include <type_traits>
#include <utility>

namespace qxRTB {

template <class... Args>
class SignalOf : public SignalBase {
    static_assert(!std::disjunction<std::is_rvalue_reference<Args>...>::value,
                  "every connection gets the same arguments: no rvalue references");

public:
    using Function = typename FunctionFor<Args...>::type;

    SignalOf() = default;

    // A callable made elsewhere; the signal owns it from now on.
    Connection* addCallback(Function* f) const { return SignalBase::addCallback(f); }
    Connection* addCallback(Function* f, SignalClient& client) const {
        return SignalBase::addCallback(f, client);
    }

    Connection* connect(void (*function)(Args...)) const {
        return addCallback(new FunctionGlobal<Args...>(function));
    }

    // Tied to the object's lifetime when T derives from SignalClient.
    template <class T, class Method,
              std::enable_if_t<std::is_member_function_pointer<Method>::value &&
                                   std::is_invocable<Method, T*, Args&...>::value,
                               int> = 0>
    Connection* connect(T* object, Method method) const {
        Function* f = new FunctionMember<T, Method, Args...>(object, method);
        if constexpr (std::is_base_of<SignalClient, T>::value) {
            // The client's list is bookkeeping, also on a const receiver.
            return addCallback(
                f, const_cast<SignalClient&>(static_cast<const SignalClient&>(*object)));
        } else {
            return addCallback(f);
        }
    }

    template <class F,
              std::enable_if_t<std::is_invocable<std::decay_t<F>&, Args&...>::value, int> = 0>
    Connection* connect(F&& f) const {
        return addCallback(new FunctionObject<std::decay_t<F>, Args...>(std::forward<F>(f)));
    }
    template <class F,
              std::enable_if_t<std::is_invocable<std::decay_t<F>&, Args&...>::value, int> = 0>
    Connection* connect(SignalClient& client, F&& f) const {
        return addCallback(new FunctionObject<std::decay_t<F>, Args...>(std::forward<F>(f)),
                           client);
    }

    // Calls every connection, newest first. Connections made meanwhile are
    // not called by this run; removed ones are not called any more; blocking
    // the signal stops the run.
    void emit(Args... args) const {
        Connection* item = this->head;
        if (!item || this->blockCount != 0) return;
        item->lock();
        for (;;) {
            if (!item->destroyPending && item->blockCount == 0)
                static_cast<Function*>(item->callback)->call(args...);
            // Read after the call: the callback may have changed the list.
            // A null next also means the signal itself may be gone.
            Connection* next = item->next;
            if (!next) {
                item->unlock();
                return;
            }
            // Hand over hand: freeing this item may run a callable's
            // destructor, which must not free the next one under us.
            next->lock();
            item->unlock();
            item = next;
            if (this->blockCount != 0) {
                item->unlock();
                return;
            }
        }
    }
    void operator()(Args... args) const { emit(args...); }

    // Objects are compared by address, as the member connection stored them.
    void disconnectInstance(const volatile void* object) {
        SignalBase::disconnectInstance(const_cast<void*>(object));
    }
    Connection* findInstance(const volatile void* object) {
        return static_cast<Connection*>(SignalBase::findInstance(const_cast<void*>(object)));
    }
    Connection* findGlobalCallback(void (*function)(Args...)) {
        return SignalBase::findGlobalCallback(reinterpret_cast<void*>(function));
    }
};

class SignalVoid : public SignalOf<> {};

template <class A>
class SignalArg : public SignalOf<A> {};

template <class A, class B>
class Signal2Args : public SignalOf<A, B> {};

template <class A, class B, class C>
class Signal3Args : public SignalOf<A, B, C> {};

}  // namespace qxRTB

#endif
