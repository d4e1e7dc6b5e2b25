// Sets LC_CTYPE for one test and puts the previous locale back.
#ifndef QXBASE_TESTS_STRING_LOCALE_GUARD_H
#define QXBASE_TESTS_STRING_LOCALE_GUARD_H

#include <clocale>
#include <initializer_list>
#include <string>

// Takes the first of the names the runtime accepts; active() tells whether
// any was.
class LocaleGuard {
public:
    LocaleGuard(std::initializer_list<const char*> names)
        : saved_(std::setlocale(LC_CTYPE, nullptr)) {
        for (const char* n : names)
            if ((active_ = std::setlocale(LC_CTYPE, n) != nullptr)) break;
    }
    ~LocaleGuard() { std::setlocale(LC_CTYPE, saved_.c_str()); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;
    bool active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};

#endif
