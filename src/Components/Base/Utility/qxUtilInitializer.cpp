#include "Components/Base/Utility/qxUtilInitializer.h"

#include "containers/qxList.h"
#include "containers/qxVector.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qxUtil {

namespace {

using Pair = std::pair<Initializer*, Initializer*>;  // (dependent, dependency)

// Created on first use and owned here. Plain pointers are set before any
// constructor runs, so initializers in other libraries' static objects may
// register in any order.
qx::vector<Initializer*>* g_registered = nullptr;
qx::list<Pair>* g_dependencies = nullptr;
qx::vector<Initializer*>* g_initialized = nullptr;

long long saturatedSum(long long a, long long b) {
    return a + b > INT_MAX ? INT_MAX : a + b;
}

// The weight of every initializer reached from the registered set: 1 for
// being registered plus the weights of its dependents, that is the number
// of dependency chains from a registered initializer that end at it. The
// same numbers a breadth-first walk gets by queueing each dependency once
// per chain, but in one pass over the pairs in dependency order, so a
// lattice of shared dependencies costs its size, not its number of chains.
// False when the reached part of the graph has a cycle.
// rank receives each reached node's longest chain of dependents, which
// orders dependencies first where counts have reached their cap.
bool weigh(const qx::vector<Initializer*>& registered, const qx::list<Pair>& pairs,
           std::unordered_map<Initializer*, long long>& weight,
           std::unordered_map<Initializer*, int>& rank) {
    std::unordered_map<Initializer*, std::vector<Initializer*>> dependenciesOf;
    for (const Pair& p : pairs) dependenciesOf[p.first].push_back(p.second);

    // Reach, then count each reached node's reached dependents.
    std::vector<Initializer*> order;
    for (Initializer* i : registered)
        if (weight.emplace(i, 0).second) order.push_back(i);
    for (size_t k = 0; k < order.size(); ++k) {
        const auto it = dependenciesOf.find(order[k]);
        if (it == dependenciesOf.end()) continue;
        for (Initializer* d : it->second)
            if (weight.emplace(d, 0).second) order.push_back(d);
    }
    std::unordered_map<Initializer*, int> dependents;
    for (Initializer* n : order) {
        const auto it = dependenciesOf.find(n);
        if (it != dependenciesOf.end())
            for (Initializer* d : it->second) ++dependents[d];
    }
    for (Initializer* i : registered) weight[i] = saturatedSum(weight[i], 1);

    // A node is done once all its dependents are: its weight is final.
    std::vector<Initializer*> ready;
    for (Initializer* n : order)
        if (dependents[n] == 0) ready.push_back(n);
    size_t done = 0;
    while (!ready.empty()) {
        Initializer* n = ready.back();
        ready.pop_back();
        ++done;
        const auto it = dependenciesOf.find(n);
        if (it == dependenciesOf.end()) continue;
        for (Initializer* d : it->second) {
            weight[d] = saturatedSum(weight[d], weight[n]);
            rank[d] = std::max(rank[d], rank[n] + 1);
            if (--dependents[d] == 0) ready.push_back(d);
        }
    }
    return done == order.size();
}

}  // namespace

Initializer::Initializer() : m_sourceFile("Components/Base/Utility/qxUtilInitializer"), m_count(0) {
    addInit();
}

Initializer::Initializer(const Initializer& other)
    : m_sourceFile(other.m_sourceFile), m_count(other.m_count) {}

Initializer& Initializer::operator=(const Initializer& other) {
    m_sourceFile = other.m_sourceFile;
    m_count = other.m_count;
    return *this;
}

Initializer::~Initializer() = default;

void Initializer::finalize() {}

void Initializer::addInit() {
    if (!g_registered) g_registered = new qx::vector<Initializer*>();
    g_registered->push_back(this);
}

void Initializer::dependsOn(Initializer* other) {
    if (!g_dependencies) g_dependencies = new qx::list<Pair>();
    g_dependencies->emplace_back(this, other);
}

int Initializer::numRegistered() {
    return g_registered ? g_registered->size() : 0;
}

int Initializer::numInitialized() {
    return g_initialized ? g_initialized->size() : 0;
}

Error Initializer::initializeAll() {
    if (!g_registered) return Error();
    qx::vector<Initializer*>& registered = *g_registered;
    std::unordered_map<Initializer*, int> rank;

    if (g_dependencies && !g_dependencies->empty()) {
        std::unordered_map<Initializer*, long long> weight;
        if (!weigh(registered, *g_dependencies, weight, rank)) {
            delete g_registered;
            g_registered = nullptr;
            delete g_dependencies;
            g_dependencies = nullptr;
            return Error(13,
                         "Initializers not run: the dependencies of %d initializers form a cycle",
                         static_cast<int>(weight.size()));
        }
        for (const auto& w : weight)
            w.first->m_count = static_cast<int>(saturatedSum(w.first->m_count, w.second));
    }

    if (!g_initialized) g_initialized = new qx::vector<Initializer*>();
    g_initialized->reserve(g_initialized->size() + registered.size());
    std::stable_sort(registered.begin(), registered.end(), [&rank](Initializer* a, Initializer* b) {
        if (a->m_count != b->m_count) return a->m_count > b->m_count;
        // Capped counts no longer tell a dependency from
        // its dependents; the longest chain above does.
        return a->m_count == INT_MAX && rank[a] > rank[b];
    });

    // The set is consumed before anything runs: an initialize() that
    // constructs initializers starts a new set for a later call.
    qx::vector<Initializer*>* running = g_registered;
    g_registered = nullptr;
    delete g_dependencies;
    g_dependencies = nullptr;

    Error result;
    for (Initializer* i : *running) {
        Error e = i->initialize();
        if (!g_initialized) g_initialized = new qx::vector<Initializer*>();  // finalizeAll() ran
        g_initialized->insert(g_initialized->begin(), i);
        if (e) result = std::move(e);
    }
    delete running;
    return result;
}

void Initializer::finalizeAll() {
    if (!g_initialized) return;
    // Taken first: a finalize() that registers or initializes anew starts a
    // fresh set rather than changing the one being walked.
    qx::vector<Initializer*>* initialized = g_initialized;
    g_initialized = nullptr;
    for (Initializer* i : *initialized) i->finalize();
    delete initialized;
}

}  // namespace qxUtil
