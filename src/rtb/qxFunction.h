// Callables that signals call: qxRTB::FunctionBase and, for each number of
// arguments, an abstract base with a virtual call() and three concrete forms:
// a plain function, an object with a member function, and a function object.
//
// A signal owns each callable it is given and deletes it with the connection.
// isGlobalFunction() and isInstance() let a signal find the connections of a
// function or an object again, so that they can be looked up or removed.
#ifndef QXBASE_RTB_QXFUNCTION_H
#define QXBASE_RTB_QXFUNCTION_H

#include "qxDefs.h"

#include <type_traits>
#include <utility>

namespace qxRTB {

class QX_API FunctionBase {
public:
    FunctionBase() = default;
    FunctionBase(const FunctionBase&) = default;
    FunctionBase& operator=(const FunctionBase&) = default;
    virtual ~FunctionBase();

    // Whether this callable calls the plain function at that address.
    virtual bool isGlobalFunction(void* function);
    // Whether this callable is bound to that object.
    virtual bool isInstance(void* object);
    // Each derived family adds call(...) with its signal's arguments here.
};

// The callable of a signal without arguments.
class QX_API FunctionVoid : public FunctionBase {
public:
    ~FunctionVoid() override;
    virtual void call() = 0;
};

class QX_API FunctionVoidGlobal : public FunctionVoid {
public:
    explicit FunctionVoidGlobal(void (*function)()) : m_function(function) {}
    FunctionVoidGlobal(const FunctionVoidGlobal&) = default;
    FunctionVoidGlobal(FunctionVoidGlobal&&) = default;
    FunctionVoidGlobal& operator=(const FunctionVoidGlobal&) = default;
    FunctionVoidGlobal& operator=(FunctionVoidGlobal&&) = default;
    ~FunctionVoidGlobal() override;

    void call() override;
    bool isGlobalFunction(void* function) override;

    void (*getFunction() const)() { return m_function; }

private:
    void (*m_function)();
};

// The callables of signals with one, two and three arguments. Arguments are
// passed as the signal declares them: a class type by value is copied for
// every call, so signals take large arguments by reference.
template <class A>
class FunctionArg : public FunctionBase {
public:
    virtual void call(A a) = 0;
};

template <class A, class B>
class Function2Args : public FunctionBase {
public:
    virtual void call(A a, B b) = 0;
};

template <class A, class B, class C>
class Function3Args : public FunctionBase {
public:
    virtual void call(A a, B b, C c) = 0;
};

// The callable base of a signal with the arguments Args...
template <class... Args>
struct FunctionFor;
template <>
struct FunctionFor<> {
    using type = FunctionVoid;
};
template <class A>
struct FunctionFor<A> {
    using type = FunctionArg<A>;
};
template <class A, class B>
struct FunctionFor<A, B> {
    using type = Function2Args<A, B>;
};
template <class A, class B, class C>
struct FunctionFor<A, B, C> {
    using type = Function3Args<A, B, C>;
};

// A plain function. A function's address compares as a data pointer, which
// every target of the library supports.
template <class... Args>
class FunctionGlobal : public FunctionFor<Args...>::type {
public:
    using Pointer = void (*)(Args...);
    explicit FunctionGlobal(Pointer function) : m_function(function) {}

    void call(Args... args) override { m_function(args...); }
    bool isGlobalFunction(void* function) override {
        return reinterpret_cast<void*>(m_function) == function;
    }
    Pointer getFunction() const { return m_function; }

private:
    Pointer m_function;
};

// Without arguments the library's own class serves.
template <>
class FunctionGlobal<> : public FunctionVoidGlobal {
public:
    using Pointer = void (*)();
    explicit FunctionGlobal(Pointer function) : FunctionVoidGlobal(function) {}
};

// An object and a member function (of any return type, const or not) that
// accepts the signal's arguments. isInstance() compares the object's address
// as T*, so look a connection up through the same pointer type.
template <class T, class Method, class... Args>
class FunctionMember : public FunctionFor<Args...>::type {
public:
    FunctionMember(T* object, Method method) : m_object(object), m_method(method) {}

    void call(Args... args) override { (m_object->*m_method)(args...); }
    bool isInstance(void* object) override {
        return const_cast<void*>(static_cast<const volatile void*>(m_object)) == object;
    }
    T* getObject() const { return m_object; }

private:
    T* m_object;
    Method m_method;
};

// Any function object (a lambda, a std::function) that accepts the
// signal's arguments; it is neither a global function nor bound to an object.
template <class F, class... Args>
class FunctionObject : public FunctionFor<Args...>::type {
public:
    template <class G>
    explicit FunctionObject(G&& f) : m_f(std::forward<G>(f)) {}

    void call(Args... args) override { m_f(args...); }

private:
    F m_f;
};

// The usual names of the concrete forms, one per number of arguments.
template <class A>
using FunctionArgGlobal = FunctionGlobal<A>;
template <class A, class B>
using Function2ArgsGlobal = FunctionGlobal<A, B>;
template <class A, class B, class C>
using Function3ArgsGlobal = FunctionGlobal<A, B, C>;

}  // namespace qxRTB

#endif
