// qxUtil::Progress: how far a long operation has got, as a fraction from 0
// to 1, with a caption and cooperative cancellation. An operation hands a
// share of its range to a step by binding the step's own Progress with
// subPhase; everything the step reports is then scaled into that share.
//
//     qxUtil::Progress progress;
//     progress.getSigUpdate().connect([](qxUtil::Progress& p) { draw(p.get()); });
//     for (int i = 0; i < n; ++i) {
//         qxUtil::Progress step;
//         progress.subPhase(1.0 / n, step);
//         work(i, step);          // step.set(...), step.cancelled()
//     }                           // each step fills its share when it goes
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXPROGRESS_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXPROGRESS_H

#include "containers/qxReferenceCount.h"
#include "qxDefs.h"
#include "rtb/qxSignal.h"
#include "string/qxString.h"

namespace qxUtil {

// Not thread-safe: one thread at a time reports through a tree of phases.
// Signals live in the tree's root and carry the root's Progress object;
// once that object is gone they are no longer emitted (values still move).
class QX_API Progress {
public:
    using Signal = qxRTB::SignalArg<Progress&>;

    // One phase of a progress tree. A root stores the overall value, the
    // caption, the cancel flag and the signals; a sub-phase forwards all of
    // those to the root and scales what it is set to into its parent.
    class QX_API Impl : public qx::ReferenceCount {
    public:
        Impl(Impl* parent, Impl* root, double scale);
        ~Impl() override;
        virtual void set(double v);
        virtual double get();
        virtual Signal& getSigUpdate();
        virtual Signal& getSigDestroy();
        virtual Signal& getSigCaption();
        virtual Signal& getSigCheckCancel();
        virtual void cancel();
        virtual bool cancelled();
        virtual void setCaption(const char* text);
        virtual const char* getCaption();
        virtual void finish() = 0;

        Impl(const Impl&) = delete;
        Impl& operator=(const Impl&) = delete;

    protected:
        friend class Progress;
        // This phase or one it belongs to has finished.
        bool finishedHereOrAbove() const;
        qx::Reference<Impl> m_parent;  // null for a root
        Impl* m_root;                  // the object itself for a root
        double m_value;
        double m_scale;
        bool m_finished;
    };

    Progress();
    // Finishes this phase: a root emits its destroy signal, a sub-phase
    // fills its share of the parent unless the tree above finished first.
    virtual ~Progress();
    // A progress object is the identity its signals carry.
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Clamped to 1.0 when stored (values below 0 are kept as they are).
    void set(double v);
    // The overall value, read from the root.
    double get() const;
    void setCaption(const char* text);
    const char* getCaption() const;
    // One-way: nothing clears it.
    void cancel();
    // True once cancelled; otherwise asks the check-cancel listeners (which
    // may call cancel()) and answers what they decided.
    bool cancelled();

    Signal& getSigUpdate();
    Signal& getSigCaption();
    Signal& getSigCheckCancel();
    Signal& getSigDestroy();

    // Makes sub a phase covering fraction of this one's range: sub's own
    // tree is finished first (its listeners see it go), and from now on sub
    // reports into this tree.
    void subPhase(double fraction, Progress& sub);

private:
    qx::Reference<Impl> m_impl;
};

}  // namespace qxUtil

#endif
