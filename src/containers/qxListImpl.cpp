#include "containers/qxListImpl.h"

#include "containers/qxOutOfMemory.h"

#include <utility>

namespace qx {

// ---------------------------------------------------------------------------
// Nodes

void ListImpl::nodeAllocationFailed(unsigned int bytes) {
    detail::outOfMemory(bytes, "list node");
}

void ListImpl::freeStorage() {
    Node* n = m_head.next;
    if (m_typeUtil->destroyElement) {
        void (*const destroy)(void*) = m_typeUtil->destroyElement;
        const unsigned int offset = m_typeUtil->elementOffset;
        while (n != &m_head) {
            Node* next = n->next;
            destroy(reinterpret_cast<char*>(n) + offset);
            freeNode(n);
            n = next;
        }
    } else {
        while (n != &m_head) {
            Node* next = n->next;
            freeNode(n);
            n = next;
        }
    }
}

ListImpl::Node* ListImpl::newNodeCopy(const void* src, CopyFn copyFn) {
    Node* node = allocateNode();
    try {
        copyFn(elementPtrOfNode(node), src);
    } catch (...) {
        freeNode(node);
        throw;
    }
    return node;
}

void ListImpl::linkChain(Node* pos, Node& head, int count) {
    if (count == 0) return;
    Node* const before = pos->prev;
    before->next = head.next;
    head.next->prev = before;
    head.prev->next = pos;
    pos->prev = head.prev;
    m_size += count;
}

void ListImpl::freeChain(Node& head) {
    for (Node* n = head.next; n != &head;) {
        Node* next = n->next;
        destructNode(n);
        freeNode(n);
        n = next;
    }
}

// ---------------------------------------------------------------------------
// Construction

ListImpl::ListImpl(const ListImpl& other) {
    initialize(other);
}

ListImpl::ListImpl(ListImpl&& other) noexcept {
    initialize_inline(other.m_typeUtil);
    swap(other);
}

ListImpl& ListImpl::operator=(const ListImpl& other) {
    copy(other);
    return *this;
}

ListImpl& ListImpl::operator=(ListImpl&& other) noexcept {
    if (this != &other) {
        clear();
        swap(other);
    }
    return *this;
}

void ListImpl::initialize(const TypeUtil* typeUtil) {
    initialize_inline(typeUtil);
}

// append() builds aside before linking, so a throwing copy leaves this empty.
void ListImpl::initialize(const ListImpl& other) {
    initialize_inline(other.m_typeUtil);
    append(other);
}

// ---------------------------------------------------------------------------
// Adding

ListImpl::Node* ListImpl::insert(Node* pos) {
    Node* node = allocateNode();
    insert(pos, node);
    return node;
}

// The node is linked only once its element is constructed, so a throwing
// constructor leaves the list as it was.
ListImpl::Node* ListImpl::insert(Node* pos, InitFn init) {
    Node* node = allocateNode();
    if (init) {
        try {
            init(elementPtrOfNode(node));
        } catch (...) {
            freeNode(node);
            throw;
        }
    }
    insert(pos, node);
    return node;
}

ListImpl::Node* ListImpl::append(InitFn init) {
    return insert(end(), init);
}

ListImpl::Node* ListImpl::prepend(InitFn init) {
    return insert(begin(), init);
}

ListImpl::Node* ListImpl::insert(Node* pos, const void* value, CopyFn copyFn) {
    Node* node = newNodeCopy(value, copyFn);
    insert(pos, node);
    return node;
}

ListImpl::Node* ListImpl::insert(Node* pos, const void* value) {
    return insert(pos, value, m_typeUtil->copyElement);
}

ListImpl::Node* ListImpl::append(const void* value) {
    return insert(end(), value, m_typeUtil->copyElement);
}

ListImpl::Node* ListImpl::prepend(const void* value) {
    return insert(begin(), value, m_typeUtil->copyElement);
}

ListImpl::Node* ListImpl::append(const void* value, CopyFn copyFn) {
    return insert(end(), value, copyFn);
}

ListImpl::Node* ListImpl::prepend(const void* value, CopyFn copyFn) {
    return insert(begin(), value, copyFn);
}

void ListImpl::insertAndAssignPtr(Node* pos, const void* p) {
    Node* node = allocateNode();
    *static_cast<const void**>(elementPtrOfNode(node)) = p;
    insert(pos, node);
}

void ListImpl::appendAndAssignPtr(const void* p) {
    insertAndAssignPtr(end(), p);
}

void ListImpl::prependAndAssignPtr(const void* p) {
    insertAndAssignPtr(begin(), p);
}

// Range copies read from one of two sources: the nodes of a list, or an
// array stepped by a stride.
namespace {

struct NodeSource {
    const ListImpl::Node* node;
    unsigned int offset;
    const void* element() const { return reinterpret_cast<const char*>(node) + offset; }
    void next() { node = node->next; }
    bool operator!=(const NodeSource& o) const { return node != o.node; }
};

struct ArraySource {
    const char* p;
    int stride;
    const void* element() const { return p; }
    void next() { p += stride; }
    bool operator!=(const ArraySource& o) const { return p != o.p; }
};

NodeSource nodes(const ListImpl::Node* n, const ListImpl::TypeUtil* t) {
    return NodeSource{n, t->elementOffset};
}
ArraySource array(const void* p, int stride) {
    return ArraySource{static_cast<const char*>(p), stride};
}

}  // namespace

// The source is walked completely before anything is linked, so a list's own
// range (or the whole list) may be inserted into itself.
template <class Source>
ListImpl::Node* ListImpl::insertCopies(Node* pos, Source first, Source last, CopyFn copyFn) {
    Node head;
    head.next = head.prev = &head;
    int count = 0;
    try {
        for (; first != last; first.next(), ++count)
            linkBefore(&head, newNodeCopy(first.element(), copyFn));
    } catch (...) {
        freeChain(head);
        throw;
    }
    Node* const firstNew = count ? head.next : pos;
    linkChain(pos, head, count);
    return firstNew;
}

ListImpl::Node* ListImpl::insert(Node* pos, const Node* first, const Node* last) {
    return insertCopies(pos, nodes(first, m_typeUtil), nodes(last, m_typeUtil),
                        m_typeUtil->copyElement);
}

ListImpl::Node* ListImpl::insert(Node* pos, const void* first, const void* last, int stride,
                                 CopyFn copyFn) {
    return insertCopies(pos, array(first, stride), array(last, stride), copyFn);
}

// ---------------------------------------------------------------------------
// Removing

ListImpl::Node* ListImpl::erase(Node* node) {
    return erase_inline(node);
}

ListImpl::Node* ListImpl::erase(Node* first, Node* last) {
    if (first == m_head.next && last == &m_head) {
        clear();
        return last;
    }
    if (first == last) return last;
    Node* const before = first->prev;
    int count = 0;
    for (Node* n = first; n != last; ++count) {
        Node* next = n->next;
        destructNode(n);
        freeNode(n);
        n = next;
    }
    before->next = last;
    last->prev = before;
    m_size -= count;
    return last;
}

// A value that lives in one of the matching elements is compared against until
// the end, so that node goes last.
void ListImpl::erase(const void* value, FindFn findFn) {
    Node* deferred = nullptr;
    Node* n = findFn(m_head.next, &m_head, value);
    while (n != &m_head) {
        Node* next = n->next;
        if (elementPtrOfNode(n) == value)
            deferred = n;
        else
            erase_inline(n);
        n = findFn(next, &m_head, value);
    }
    if (deferred) erase_inline(deferred);
}

void ListImpl::clear() {
    if (m_size) freeStorage();
    initializeListState();
}

// ---------------------------------------------------------------------------
// Whole-list operations

// Existing nodes are reused front to back. A copy that throws into a reused
// node drops that node; the list then holds what was assigned so far followed
// by the old elements not yet reached.
template <class Source>
void ListImpl::assignCopies(Source first, Source last, CopyFn copyFn) {
    Node* n = m_head.next;
    for (; n != &m_head && first != last; first.next()) {
        destructNode(n);
        try {
            copyFn(elementPtrOfNode(n), first.element());
        } catch (...) {
            unlink(n);
            freeNode(n);
            throw;
        }
        n = n->next;
    }
    if (first != last)
        insertCopies(&m_head, first, last, copyFn);
    else
        erase(n, &m_head);
}

void ListImpl::assign(const Node* first, const Node* last) {
    assignCopies(nodes(first, m_typeUtil), nodes(last, m_typeUtil), m_typeUtil->copyElement);
}

void ListImpl::assign(const void* first, const void* last, int stride, CopyFn copyFn) {
    assignCopies(array(first, stride), array(last, stride), copyFn);
}

void ListImpl::copy(const ListImpl& other) {
    if (&other == this) return;
    assign(other.begin(), other.end());
}

void ListImpl::swap(ListImpl& other) noexcept {
    std::swap(m_head, other.m_head);
    std::swap(m_size, other.m_size);
    for (ListImpl* l : {this, &other}) {
        if (l->m_size == 0) {
            l->m_head.next = l->m_head.prev = &l->m_head;
        } else {
            l->m_head.next->prev = &l->m_head;
            l->m_head.prev->next = &l->m_head;
        }
    }
}

void ListImpl::reverse() {
    Node* n = &m_head;
    do {
        std::swap(n->next, n->prev);
        n = n->prev;  // the old next
    } while (n != &m_head);
}

void ListImpl::splice(Node* pos, ListImpl& other) {
    if (other.m_size == 0) return;
    sTransferNodes(pos, other.m_head.next, &other.m_head);
    m_size += other.m_size;
    other.m_size = 0;
}

// Within one list the sizes do not change, so nothing is counted.
void ListImpl::splice(Node* pos, ListImpl& other, Node* first, Node* last) {
    if (first == last) return;
    if (&other != this) {
        int count = 0;
        for (const Node* n = first; n != last; n = n->next) ++count;
        m_size += count;
        other.m_size -= count;
    }
    sTransferNodes(pos, first, last);
}

void ListImpl::unique(EqualFn equalFn) {
    if (m_size < 2) return;
    Node* a = m_head.next;
    for (Node* b = a->next; b != &m_head; b = b->next) {
        if (equalFn(elementPtrOfNode(a), elementPtrOfNode(b))) erase_inline(a);
        a = b;
    }
}

// Bottom-up merge sort: bin i holds a sorted run of up to 2^i nodes, higher
// bins the earlier ones. In every merge the first list holds the nodes that
// came first, so a stable mergeFn gives a stable sort.
void ListImpl::sort(const void* ctx, MergeFn mergeFn) {
    if (m_size < 2) return;
    constexpr int kBins = 32;
    ListImpl carry;
    ListImpl bins[kBins];
    int fill = 0;
    try {
        while (m_size) {
            Node* node = m_head.next;
            sTransferNode(carry.end(), node);
            --m_size;
            carry.m_size = 1;
            int i = 0;
            for (; i < fill && bins[i].m_size; ++i) {
                mergeFn(bins[i], carry, ctx);
                bins[i].swap(carry);
            }
            // Every bin full: only possible at 2^32 - 1 nodes, beyond an int
            // size, but the bins must never overflow.
            if (i == fill && fill == kBins) {
                mergeFn(bins[fill - 1], carry, ctx);
            } else {
                bins[i].swap(carry);
                if (i == fill) ++fill;
            }
        }
        for (int i = 1; i < fill; ++i) mergeFn(bins[i], bins[i - 1], ctx);
    } catch (...) {
        // A throwing comparison loses nothing: every node comes back, in no
        // particular order.
        splice(&m_head, carry);
        for (int i = fill - 1; i >= 0; --i) splice(&m_head, bins[i]);
        throw;
    }
    swap(bins[fill - 1]);
}

}  // namespace qx
