// qxUtil::Ordering: a permutation of indices that sorts an array without
// moving it, computed in parallel on the installed thread pool.
//
//     qxUtil::Ordering order;
//     order.sort(rects, count, byArea);          // bool byArea(const Rect&, const Rect&)
//     for (int i = 0; i < order.size(); ++i) use(rects[order[i]]);
//
// On a pool of one thread the indices are sorted directly. On more, two
// threads each sort one half (SMPSortPiecewise) and then produce the two
// halves of the merged result independently, one merging forward from the
// front and one backward from the back (SMPSortMerge). Threads beyond the
// second have nothing to do.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXORDERING_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXORDERING_H

#include "Components/Base/Utility/qxProgress.h"
#include "Components/Base/Utility/qxThreadPool.h"
#include "qxDefs.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>

namespace qxUtil {

namespace detail {

// Reports how far a comparison sort has got from the comparisons it has
// made, against the 1.25 n log2 n - n / 2 that std::sort makes on n items
// in random order (measured from a thousand to five million items); the
// sort's end reports 1.
class SortMeter {
public:
    SortMeter(Progress* progress, std::ptrdiff_t n)
        : m_progress(progress),
          m_expected(n > 1 ? n * (1.25 * std::log2(static_cast<double>(n)) - 0.5) : 1.0) {}
    void tick() {
        if (--m_left == 0) report();
    }

private:
    static constexpr long kBatch = 1L << 16;
    void report() {
        m_done += kBatch;
        m_progress->set(std::min(0.99, m_done / m_expected));
        m_left = kBatch;
    }
    Progress* m_progress;
    double m_expected;
    double m_done = 0.0;
    long m_left = kBatch;
};

template <class Pred>
struct MeteredPredicate {
    Pred pred;
    SortMeter* meter;
    template <class E>
    bool operator()(const E& a, const E& b) const {
        meter->tick();
        return pred(a, b);
    }
};

// Has pred fetch into the cache what it will read to compare e, when it
// can say what that is (IndexedBinaryPredicate can: the element e stands
// for); otherwise nothing.
template <class Pred, class E>
auto prefetch(const Pred& pred, const E& e, int) -> decltype(pred.prefetch(e), void()) {
    pred.prefetch(e);
}
template <class Pred, class E>
void prefetch(const Pred&, const E&, long) {}

// std::sort, reporting to progress when there is one.
template <class E, class Pred>
void sortReporting(E* first, E* last, Pred pred, Progress* progress) {
    if (!progress) {
        std::sort(first, last, pred);
        return;
    }
    SortMeter meter(progress, last - first);
    std::sort(first, last, MeteredPredicate<Pred>{pred, &meter});
    progress->set(1.0);
}

}  // namespace detail

// Sorts part 0 or part 1 of a range split in two (part 0 takes the extra
// item of an odd count) for thread index 0 or 1; higher indices do nothing.
// Thread 0 reports through the progress object.
template <class E, class Pred>
class SMPSortPiecewise : public ThreadedAlg {
public:
    SMPSortPiecewise(E* first, E* last, Pred pred) : m_first(first), m_last(last), m_pred(pred) {}

    void execute(int threadIndex, int) override {
        if (threadIndex > 1 || cancelled(threadIndex)) return;
        const int n = static_cast<int>(m_last - m_first);
        detail::sortReporting(m_first + getBeginIndex(threadIndex, 2, n),
                              m_first + getEndIndex(threadIndex, 2, n), m_pred,
                              getProgress(threadIndex));
    }

private:
    E* m_first;
    E* m_last;
    Pred m_pred;
};

// Merges the two sorted parts that SMPSortPiecewise leaves. Thread 0 writes
// the first half of the result, merging forward from the fronts of both
// parts; thread 1 writes the rest, merging backward from their backs. On
// equal elements part 0's come first, so both threads agree on the one
// stable merge and their halves meet without a lock or a search. finalize()
// copies the result over the range, unless the merge was cancelled: the
// range then keeps its two sorted parts.
template <class E, class Pred>
class SMPSortMerge : public ThreadedAlg {
public:
    SMPSortMerge(E* first, E* last, Pred pred)
        : m_first(first), m_last(last), m_buffer(new E[last - first]), m_pred(pred) {}

    void execute(int threadIndex, int) override {
        const int n = static_cast<int>(m_last - m_first);
        const int half = getEndIndex(0, 2, n);
        if (threadIndex == 0)
            mergeForward(m_first + half, half);
        else if (threadIndex == 1)
            mergeBackward(m_first + half, n - half);
    }

    void finalize() override {
        // The flag alone: thread 1 never asks the progress object.
        if (!cancelled(1)) std::copy(m_buffer.get(), m_buffer.get() + (m_last - m_first), m_first);
        m_buffer.reset();
    }

private:
    // Outputs between two looks at the progress object and the flag.
    static constexpr int kStep = 1 << 16;
    // How far ahead of the merge the elements compared are fetched. Sorted
    // indices point all over their array: without it nearly every
    // comparison waits for memory, and the merge takes twice as long.
    static constexpr int kAhead = 16;

    // The first count outputs, into the front of the buffer.
    void mergeForward(E* middle, int count) {
        const E* a = m_first;  // part 0 cannot run out within its own length
        const E* b = middle;
        E* out = m_buffer.get();
        E* const end = out + count;
        while (out != end) {
            E* const stop = end - out > kStep ? out + kStep : end;
            while (out != stop) {
                if (m_last - b > kAhead) {  // a < b: a's look ahead fits too
                    detail::prefetch(m_pred, a[kAhead], 0);
                    detail::prefetch(m_pred, b[kAhead], 0);
                }
                if (b != m_last && m_pred(*b, *a))
                    *out++ = *b++;
                else
                    *out++ = *a++;
            }
            updateProgress(0, static_cast<double>(out - m_buffer.get()) / count);
            if (cancelled(0)) return;
        }
    }

    // The last count outputs, into the back of the buffer.
    void mergeBackward(E* middle, int count) {
        const E* a = middle;  // one past the current element of each part
        const E* b = m_last;
        E* out = m_buffer.get() + (m_last - m_first);
        E* const end = out - count;
        while (out != end) {
            E* const stop = out - end > kStep ? out - kStep : end;
            while (out != stop) {
                if (a - m_first > kAhead) {  // a < b: b's look ahead fits too
                    detail::prefetch(m_pred, a[-1 - kAhead], 0);
                    detail::prefetch(m_pred, b[-1 - kAhead], 0);
                }
                if (b == middle || (a != m_first && m_pred(b[-1], a[-1])))
                    *--out = *--a;
                else
                    *--out = *--b;
            }
            if (cancelled(1)) return;
        }
    }

    E* m_first;
    E* m_last;
    std::unique_ptr<E[]> m_buffer;
    Pred m_pred;
};

class QX_API Ordering {
public:
    // Compares two indices by the array elements they stand for.
    template <class T, class Pred = bool (*)(const T&, const T&)>
    class IndexedBinaryPredicate {
    public:
        IndexedBinaryPredicate(const T* array, Pred pred) : m_array(array), m_pred(pred) {}
        bool operator()(int i, int j) const { return m_pred(m_array[i], m_array[j]); }
        // Fetches the element index i stands for into the cache.
        void prefetch(int i) const { __builtin_prefetch(m_array + i); }

    private:
        const T* m_array;
        Pred m_pred;
    };

    Ordering();
    ~Ordering();
    Ordering(const Ordering& other);
    Ordering& operator=(const Ordering& other);

    int operator[](int i) const { return m_indices[i]; }
    const int* get() const { return m_indices; }
    int size() const { return m_size; }

    // Makes the indices 0 .. size - 1 and orders them so that array[(*this)[0]],
    // array[(*this)[1]], ... is sorted by pred (a strict weak order; equal
    // elements in no fixed order). Reports through progress from the calling
    // thread and stops early when it is cancelled: false then, and the
    // indices are a permutation, not sorted.
    template <class T, class Pred>
    bool sort(const T* array, int size, Pred pred, Progress* progress = nullptr);

private:
    // Exactly n entries, refilled with 0, 1, ..., n - 1.
    void resize(size_t n);

    int* m_indices;
    int m_size;
};

template <class T, class Pred>
bool Ordering::sort(const T* array, int size, Pred pred, Progress* progress) {
    resize(size > 0 ? static_cast<size_t>(size) : 0);
    if (progress && progress->cancelled()) return false;
    using Less = IndexedBinaryPredicate<T, Pred>;
    const Less less(array, pred);
    int* const first = m_indices;
    int* const last = m_indices + m_size;
    ThreadPool& pool = ThreadPool::get();
    if (pool.numThreads() == 1 || m_size < 2) {
        detail::sortReporting(first, last, less, progress);
        return true;
    }
    // Sorting the halves is nearly all of the work: n log n against n.
    {
        Progress phase;
        SMPSortPiecewise<int, Less> pieces(first, last, less);
        if (progress) {
            progress->subPhase(0.9, phase);
            pieces.setProgress(&phase);
        }
        pool.run(pieces);
        // Back on the calling thread, thread 0's: may ask the progress object.
        if (pieces.cancelled(0)) return false;
    }
    Progress phase;
    SMPSortMerge<int, Less> merge(first, last, less);
    if (progress) {
        progress->subPhase(0.1, phase);
        merge.setProgress(&phase);
    }
    pool.run(merge);
    if (merge.cancelled(1)) return false;
    if (progress) progress->set(1.0);  // exactly, whatever the phases added up to
    return true;
}

}  // namespace qxUtil

#endif
