#include "Components/Base/Utility/qxProgress.h"

namespace qxUtil {

namespace {

inline double atMostOne(double v) {
    return v < 1.0 ? v : 1.0;
}

// The root of a tree: its values and signals.
class RootProgress : public Progress::Impl {
public:
    explicit RootProgress(Progress* owner)
        : Impl(nullptr, nullptr, 1.0), m_owner(owner), m_cancelled(false) {}

    void set(double v) override {
        m_value = atMostOne(v);
        emit(m_sigUpdate);
    }
    double get() override { return m_value; }
    Progress::Signal& getSigUpdate() override { return m_sigUpdate; }
    Progress::Signal& getSigDestroy() override { return m_sigDestroy; }
    Progress::Signal& getSigCaption() override { return m_sigCaption; }
    Progress::Signal& getSigCheckCancel() override { return m_sigCheckCancel; }
    void cancel() override { m_cancelled = true; }
    bool cancelled() override {
        if (m_cancelled) return true;
        emit(m_sigCheckCancel);
        return m_cancelled;
    }
    void setCaption(const char* text) override {
        m_caption = text ? text : "";
        emit(m_sigCaption);
    }
    const char* getCaption() override { return m_caption.c_str(); }
    void finish() override {
        emit(m_sigDestroy);
        m_finished = true;
    }

    // The owner is going: nothing is emitted with it any more.
    void forgetOwner(const Progress* owner) {
        if (m_owner == owner) m_owner = nullptr;
    }

private:
    void emit(Progress::Signal& signal) {
        if (m_owner) signal.emit(*m_owner);
    }

    Progress* m_owner;
    bool m_cancelled;
    qxString::CString m_caption;
    Progress::Signal m_sigUpdate;
    Progress::Signal m_sigDestroy;
    Progress::Signal m_sigCaption;
    Progress::Signal m_sigCheckCancel;
};

// A step inside a parent's range; the forwarding and the scaled set are
// the base's.
class SubProgress : public Progress::Impl {
public:
    SubProgress(Progress::Impl* parent, Progress::Impl* root, double scale)
        : Impl(parent, root, scale) {}

    void finish() override {
        if (!finishedHereOrAbove()) set(1.0);
        m_finished = true;
    }
};

}  // namespace

// --- Impl: a sub-phase's behaviour; the root overrides all of it ------------

Progress::Impl::Impl(Impl* parent, Impl* root, double scale)
    : m_parent(parent), m_root(root ? root : this), m_value(0.0), m_scale(scale), m_finished(false) {}

Progress::Impl::~Impl() = default;

// Every phase on the way up, except the root, moves by the change scaled by
// the phases below it; stored values are clamped, the change is not. The
// root then takes the scaled change and tells its listeners.
void Progress::Impl::set(double v) {
    double d = v - m_value;
    for (Impl* m = this; m->m_parent; m = m->m_parent.get()) {
        m->m_value = atMostOne(m->m_value + d);
        d *= m->m_scale;
    }
    m_root->set(atMostOne(m_root->m_value + d));
}

bool Progress::Impl::finishedHereOrAbove() const {
    for (const Impl* m = this; m; m = m->m_parent.get())
        if (m->m_finished) return true;
    return false;
}

double Progress::Impl::get() {
    return m_root->get();
}
Progress::Signal& Progress::Impl::getSigUpdate() {
    return m_root->getSigUpdate();
}
Progress::Signal& Progress::Impl::getSigDestroy() {
    return m_root->getSigDestroy();
}
Progress::Signal& Progress::Impl::getSigCaption() {
    return m_root->getSigCaption();
}
Progress::Signal& Progress::Impl::getSigCheckCancel() {
    return m_root->getSigCheckCancel();
}
void Progress::Impl::cancel() {
    m_root->cancel();
}
bool Progress::Impl::cancelled() {
    return m_root->cancelled();
}
void Progress::Impl::setCaption(const char* text) {
    m_root->setCaption(text);
}
const char* Progress::Impl::getCaption() {
    return m_root->getCaption();
}

// --- Progress ----------------------------------------------------------------

Progress::Progress() : m_impl(new RootProgress(this)) {}

Progress::~Progress() {
    m_impl->finish();
    if (m_impl->m_root == m_impl.get()) static_cast<RootProgress*>(m_impl.get())->forgetOwner(this);
}

void Progress::set(double v) {
    m_impl->set(v);
}
double Progress::get() const {
    return m_impl->get();
}
void Progress::setCaption(const char* text) {
    m_impl->setCaption(text);
}
const char* Progress::getCaption() const {
    return m_impl->getCaption();
}
void Progress::cancel() {
    m_impl->cancel();
}
bool Progress::cancelled() {
    return m_impl->cancelled();
}
Progress::Signal& Progress::getSigUpdate() {
    return m_impl->getSigUpdate();
}
Progress::Signal& Progress::getSigCaption() {
    return m_impl->getSigCaption();
}
Progress::Signal& Progress::getSigCheckCancel() {
    return m_impl->getSigCheckCancel();
}
Progress::Signal& Progress::getSigDestroy() {
    return m_impl->getSigDestroy();
}

void Progress::subPhase(double fraction, Progress& sub) {
    sub.m_impl->finish();
    if (sub.m_impl->m_root == sub.m_impl.get())
        static_cast<RootProgress*>(sub.m_impl.get())->forgetOwner(&sub);
    sub.m_impl = new SubProgress(m_impl.get(), m_impl->m_root, fraction);
}

}  // namespace qxUtil
