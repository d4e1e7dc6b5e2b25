// Sets (or with null removes) an environment variable for one test and puts
// the old value back afterwards.
#ifndef QXBASE_TESTS_ENV_VAR_H
#define QXBASE_TESTS_ENV_VAR_H

#include "os/sys/qxSysApp.h"

#include <gtest/gtest.h>

#include <string>

class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        const char* old = qx::sys::getEnv8(name);
        if ((had_ = old != nullptr)) old_ = old;
        set(value);
    }
    ~EnvVar() { qx::sys::setEnv8(name_.c_str(), had_ ? old_.c_str() : nullptr); }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;
    void set(const char* value) { ASSERT_TRUE(qx::sys::setEnv8(name_.c_str(), value)); }

private:
    std::string name_, old_;
    bool had_ = false;
};

#endif
