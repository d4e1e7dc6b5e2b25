#include "qxbase.h"

#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using qxUtil::Error;
using qxUtil::Initializer;

std::string g_log;

struct Step : Initializer {
    explicit Step(char name, int fail = 0) : name(name), fail(fail) {}
    Error initialize() override {
        g_log += name;
        return fail ? Error(fail, "step %c failed", name) : Error();
    }
    void finalize() override { g_log += static_cast<char>(name - 'A' + 'a'); }
    void needs(Initializer* other) { dependsOn(other); }
    char name;
    int fail;
};

// Runs the set, then finalizes it; the log holds the run order in capitals
// followed by the finalization order in small letters.
std::string runAndFinalize(Error* result = nullptr) {
    g_log.clear();
    Error e = Initializer::initializeAll();
    Initializer::finalizeAll();
    if (result) *result = e;
    return g_log;
}

// Runs first: the set the library registers while it loads builds the file
// factory, and consuming it leaves the later tests a clean start.
TEST(Initializer, LibrarySetRunsOnceThenNothingIsLeft) {
    EXPECT_EQ(Initializer::numRegistered(), 1);
    EXPECT_FALSE(Initializer::initializeAll());
    EXPECT_EQ(Initializer::numRegistered(), 0);
    EXPECT_EQ(Initializer::numInitialized(), 1);
    EXPECT_NE(qxOS::FileFactory::getFileFactory(), nullptr);
    Initializer::finalizeAll();
    EXPECT_EQ(Initializer::numInitialized(), 0);
    EXPECT_EQ(runAndFinalize(), "");
}

TEST(Initializer, DependenciesOrderTheRunAndReverseTheFinalization) {
    {
        Step a('A'), b('B'), c('C');
        EXPECT_EQ(runAndFinalize(), "ABCcba");
        EXPECT_EQ(runAndFinalize(), "");  // consumed
    }
    {
        Step a('A'), b('B'), c('C');
        a.needs(&c);
        EXPECT_EQ(runAndFinalize(), "CABbac");
        EXPECT_EQ(a.getCount(), 1);
        EXPECT_EQ(b.getCount(), 1);
        EXPECT_EQ(c.getCount(), 2);
    }
    {
        Step a('A'), b('B'), c('C');
        a.needs(&b);
        b.needs(&c);
        EXPECT_EQ(runAndFinalize(), "CBAabc");
        EXPECT_EQ(a.getCount() * 100 + b.getCount() * 10 + c.getCount(), 123);
    }
}

TEST(Initializer, EveryStepRunsAndTheLastFailureIsReturned) {
    Step a('A'), b('B', 5), c('C'), d('D', 7), e('E');
    Error result;
    EXPECT_EQ(runAndFinalize(&result), "ABCDEedcba");
    EXPECT_EQ(result.num(), 7);
    EXPECT_STREQ(result.message(), "step D failed");
}

// Counts grow by the number of chains, which a lattice of shared
// dependencies makes exponential: they stop at INT_MAX, the weighing stays
// linear, and the order still puts every dependency first.
TEST(Initializer, LatticesOfSharedDependenciesAndCycles) {
    {
        std::vector<std::unique_ptr<Step>> layers;
        for (int i = 0; i < 80; ++i) layers.push_back(std::make_unique<Step>('A'));
        for (int i = 0; i + 2 < 80; ++i) {  // node i needs both nodes of the next layer
            const int next = (i / 2 + 1) * 2;
            layers[i]->needs(layers[next].get());
            layers[i]->needs(layers[next + 1].get());
        }
        for (int i = 0; i < 80; ++i) layers[i]->name = static_cast<char>('A' + 39 - i / 2);
        const std::string log = runAndFinalize();
        ASSERT_EQ(log.size(), 160u);
        for (size_t i = 1; i < 80; ++i) EXPECT_LE(log[i - 1], log[i]) << log;
        EXPECT_EQ(layers[78]->getCount(), INT_MAX);
        EXPECT_EQ(layers[0]->getCount(), 1);
        EXPECT_EQ(layers[2]->getCount(), 3);  // itself, and from nodes 0 and 1
    }
    {
        Step a('A'), b('B'), c('C');
        a.needs(&b);
        b.needs(&c);
        c.needs(&a);
        Error result;
        EXPECT_EQ(runAndFinalize(&result), "");
        EXPECT_EQ(result.num(), 13);
        EXPECT_STREQ(result.message(),
                     "Initializers not run: the dependencies of 3 initializers form a cycle");
        EXPECT_EQ(Initializer::numRegistered(), 0);
    }
}

// The counts of a first-in, first-out walk that queues each dependency once
// per chain, on small random graphs without cycles (duplicate pairs
// included).
TEST(Initializer, CountsMatchTheChainWalk) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        const int n = 2 + static_cast<int>(rng() % 7);
        std::vector<std::unique_ptr<Step>> steps;
        for (int i = 0; i < n; ++i) steps.push_back(std::make_unique<Step>('A' + i));
        std::vector<std::pair<int, int>> pairs;
        for (int k = static_cast<int>(rng() % 12); k > 0; --k) {
            int a = static_cast<int>(rng() % n), b = static_cast<int>(rng() % n);
            if (a == b) continue;
            if (a > b) std::swap(a, b);  // only towards higher indices: no cycle
            steps[a]->needs(steps[b].get());
            pairs.emplace_back(a, b);
        }
        std::vector<long long> expected(n, 0);
        std::deque<int> queue;
        for (int i = 0; i < n; ++i) queue.push_back(i);
        while (!queue.empty()) {
            const int x = queue.front();
            queue.pop_front();
            ++expected[x];
            for (const auto& p : pairs)
                if (p.first == x) queue.push_back(p.second);
        }
        const std::string log = runAndFinalize();
        // Without pairs nothing is weighed.
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(steps[i]->getCount(), pairs.empty() ? 0 : expected[i]) << round;
        // A dependency runs before its dependents.
        for (const auto& p : pairs) ASSERT_LT(log.find('A' + p.second), log.find('A' + p.first));
    }
}

}  // namespace
