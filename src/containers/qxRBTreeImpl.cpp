#include "containers/qxRBTreeImpl.h"

#include <new>
#include <utility>

namespace qx {

using Node = RBTreeImpl::Node;
static_assert(sizeof(Node) == RBTreeImpl::kKeyOffset, "node link layout");

// --- nodes ---------------------------------------------------------------------

void Node::swapHeaders(Node& other) noexcept {
    const bool thisEmpty = left == this;
    const bool otherEmpty = other.left == &other;
    std::swap(left, other.left);
    std::swap(right, other.right);
    std::swap(parent, other.parent);
    std::swap(colour, other.colour);
    if (thisEmpty) other.left = other.right = &other;
    if (otherEmpty) left = right = this;
}

int RBTreeImpl::sDistanceBetween(const Node* a, const Node* b) {
    int n = 0;
    for (; a != b; a = a->next()) ++n;
    return n;
}

// --- construction ----------------------------------------------------------------

RBTreeImpl::RBTreeImpl(const TypeUtil* typeUtil)
    : m_typeUtil(typeUtil),
      m_allocator(static_cast<unsigned long long>(typeUtil->nodeSize), kNodesInBlock) {
    initializeTreeState();
}

RBTreeImpl::RBTreeImpl(const RBTreeImpl& other)
    : m_typeUtil(other.m_typeUtil),
      m_allocator(static_cast<unsigned long long>(other.m_typeUtil->nodeSize), kNodesInBlock) {
    initializeTreeState();
    try {
        copy(other);
    } catch (...) {
        // No destructor runs for a half-built object: release what was copied.
        destructAllNodes();
        throw;
    }
}

RBTreeImpl::RBTreeImpl(RBTreeImpl&& other) noexcept
    : m_typeUtil(other.m_typeUtil),
      m_allocator(static_cast<unsigned long long>(other.m_typeUtil->nodeSize), kNodesInBlock) {
    initializeTreeState();
    swap(other);
}

RBTreeImpl& RBTreeImpl::operator=(const RBTreeImpl& other) {
    copy(other);
    return *this;
}

// The moved-from tree ends empty (holding this tree's old, unused blocks):
// the old elements are destroyed now, not whenever the source goes.
RBTreeImpl& RBTreeImpl::operator=(RBTreeImpl&& other) noexcept {
    if (this != &other) {
        clear();
        swap(other);
    }
    return *this;
}

RBTreeImpl::~RBTreeImpl() {
    // Trivial keys and values need no walk: the blocks go with the allocator.
    if (m_typeUtil->destroyKey || m_typeUtil->destroyValue) destructAllNodes();
}

void RBTreeImpl::initialize(const TypeUtil* typeUtil) {
    m_typeUtil = typeUtil;
    ::new (static_cast<void*>(&m_allocator))
        BlockAllocator(static_cast<unsigned long long>(typeUtil->nodeSize), kNodesInBlock);
    initializeTreeState();
}

void RBTreeImpl::initialize(const RBTreeImpl& other) {
    initialize(other.m_typeUtil);
    try {
        copy(other);
    } catch (...) {
        destructAllNodes();
        initializeTreeState();
        throw;
    }
}

void RBTreeImpl::initializeTreeState() {
    m_header.left = &m_header;
    m_header.right = &m_header;
    m_header.parent = nullptr;
    m_header.colour = kRed;
    m_size = 0;
}

// --- element operations --------------------------------------------------------------

// A node with its key copied and its value copied or default-constructed; on
// an exception nothing is left behind.
Node* RBTreeImpl::constructNode(const void* key, const void* value) {
    const TypeUtil* t = m_typeUtil;
    Node* n = allocateNode();
    try {
        t->copyKey(keyPtrOfNode(n), key);
    } catch (...) {
        freeNode(n);
        throw;
    }
    try {
        if (value) {
            if (t->copyValue) t->copyValue(valuePtrOfNode(n), value);
        } else if (t->constructValue) {
            t->constructValue(valuePtrOfNode(n));
        }
    } catch (...) {
        if (t->destroyKey) t->destroyKey(keyPtrOfNode(n));
        freeNode(n);
        throw;
    }
    return n;
}

void RBTreeImpl::destroyNode(Node* n) {
    const TypeUtil* t = m_typeUtil;
    if (t->destroyKey) t->destroyKey(keyPtrOfNode(n));
    if (t->destroyValue) t->destroyValue(valuePtrOfNode(n));
    freeNode(n);
}

void RBTreeImpl::destructAllNodes() {
    if (m_size >= 1) m_typeUtil->destroyAll(this, m_header.parent);
}

// --- searching ------------------------------------------------------------------------

Node* RBTreeImpl::findNode(const void* key) const {
    Node* n = lowerBound(key);
    if (n == end() || keyCompare(key, keyPtrOfNode(n))) return end();
    return n;
}

int RBTreeImpl::count(const void* key) const {
    return sDistanceBetween(lowerBound(key), upperBound(key));
}

void* RBTreeImpl::getValuePtr(const void* key) {
    Node* n = lowerBound(key);
    if (n != end() && !keyCompare(key, keyPtrOfNode(n))) return valuePtrOfNode(n);
    return valuePtrOfNode(insertNodeUnique(n, key));
}

// --- linking and rebalancing ------------------------------------------------------------

Node* RBTreeImpl::insertNode(Node* x, Node* parent, const void* key, const void* value, Node* z) {
    Node* n = constructNode(key, value);
    linkNode(n, InsertPos{x, parent, z});
    return n;
}

void RBTreeImpl::linkNode(Node* node, const InsertPos& pos) {
    Node* parent = pos.parent;
    bool left;
    if (parent == &m_header || pos.x)
        left = true;
    else if (pos.z)
        left = false;
    else
        left = keyCompare(keyPtrOfNode(node), keyPtrOfNode(parent));
    if (left) {
        parent->left = node;  // the header's left: node becomes leftmost
        if (parent == &m_header) {
            m_header.parent = node;
            m_header.right = node;
        } else if (parent == m_header.left) {
            m_header.left = node;
        }
    } else {
        parent->right = node;
        if (parent == m_header.right) m_header.right = node;
    }
    node->parent = parent;
    node->left = nullptr;
    node->right = nullptr;
    rebalance(node);
    ++m_size;
}

void RBTreeImpl::rotateLeft(Node* x) {
    Node* y = x->right;
    x->right = y->left;
    if (y->left) y->left->parent = x;
    y->parent = x->parent;
    if (x == m_header.parent)
        m_header.parent = y;
    else if (x == x->parent->left)
        x->parent->left = y;
    else
        x->parent->right = y;
    y->left = x;
    x->parent = y;
}

void RBTreeImpl::rotateRight(Node* x) {
    Node* y = x->left;
    x->left = y->right;
    if (y->right) y->right->parent = x;
    y->parent = x->parent;
    if (x == m_header.parent)
        m_header.parent = y;
    else if (x == x->parent->right)
        x->parent->right = y;
    else
        x->parent->left = y;
    y->right = x;
    x->parent = y;
}

void RBTreeImpl::rebalance(Node* x) {
    x->colour = kRed;
    // The root's parent is the (red) header: test for the root first.
    while (x != m_header.parent && x->parent->colour == kRed) {
        Node* p = x->parent;
        Node* g = p->parent;
        if (p == g->left) {
            Node* u = g->right;
            if (u && u->colour == kRed) {
                p->colour = kBlack;
                u->colour = kBlack;
                g->colour = kRed;
                x = g;
            } else {
                if (x == p->right) {
                    x = p;
                    rotateLeft(x);
                    p = x->parent;
                }
                p->colour = kBlack;
                g->colour = kRed;
                rotateRight(g);
            }
        } else {
            Node* u = g->left;
            if (u && u->colour == kRed) {
                p->colour = kBlack;
                u->colour = kBlack;
                g->colour = kRed;
                x = g;
            } else {
                if (x == p->left) {
                    x = p;
                    rotateRight(x);
                    p = x->parent;
                }
                p->colour = kBlack;
                g->colour = kRed;
                rotateLeft(g);
            }
        }
    }
    m_header.parent->colour = kBlack;
}

// --- finding the place of a new key ------------------------------------------------------

// The descent knows the side of its last step, so the positions below carry
// it (x or z set) rather than having linkNode compare the keys again.
namespace {
inline RBTreeImpl::InsertPos leftOf(Node* n) {
    return RBTreeImpl::InsertPos{n, n, nullptr};
}
inline RBTreeImpl::InsertPos rightOf(Node* n) {
    return RBTreeImpl::InsertPos{nullptr, n, n};
}
}  // namespace

Node* RBTreeImpl::findUniquePos(const void* key, InsertPos* pos) {
    Node* p;
    const bool goLeft = m_typeUtil->findInsertParent(this, key, &p);
    Node* candidate = p;
    if (goLeft) {
        if (p == m_header.left) {  // also the header of an empty tree
            *pos = leftOf(p);
            return nullptr;
        }
        candidate = p->prev();
    }
    if (keyCompare(keyPtrOfNode(candidate), key)) {
        *pos = goLeft ? leftOf(p) : rightOf(p);
        return nullptr;
    }
    return candidate;
}

Node* RBTreeImpl::findUniquePos(Node* h, const void* k, InsertPos* pos) {
    if (h == m_header.left) {
        if (m_size == 0) return findUniquePos(k, pos);
        if (keyCompare(k, keyPtrOfNode(h))) {
            *pos = leftOf(h);
            return nullptr;
        }
        if (!keyCompare(keyPtrOfNode(h), k)) return h;
        Node* a = h->next();
        if (a == &m_header) {
            *pos = rightOf(h);
            return nullptr;
        }
        if (keyCompare(k, keyPtrOfNode(a))) {
            *pos = h->right ? leftOf(a) : rightOf(h);
            return nullptr;
        }
        return findUniquePos(k, pos);
    }
    if (h == &m_header) {
        if (keyCompare(keyPtrOfNode(m_header.right), k)) {
            *pos = rightOf(m_header.right);
            return nullptr;
        }
        return findUniquePos(k, pos);
    }
    Node* b = h->prev();
    const bool c = keyCompare(k, keyPtrOfNode(h));
    if (c) {
        if (keyCompare(keyPtrOfNode(b), k)) {
            *pos = b->right ? leftOf(h) : rightOf(b);
            return nullptr;
        }
        return findUniquePos(k, pos);
    }
    if (!keyCompare(keyPtrOfNode(h), k)) return h;
    Node* a = h->next();
    if (a == &m_header || keyCompare(k, keyPtrOfNode(a))) {
        *pos = h->right ? leftOf(a) : rightOf(h);
        return nullptr;
    }
    return findUniquePos(k, pos);
}

RBTreeImpl::InsertPos RBTreeImpl::findNonUniquePos(const void* key) {
    Node* p;
    return m_typeUtil->findInsertParent(this, key, &p) ? leftOf(p) : rightOf(p);
}

RBTreeImpl::InsertPos RBTreeImpl::findNonUniquePos(Node* h, const void* k) {
    // After h: its right child, or the left child of its successor.
    auto after = [](Node* n) { return n->right ? leftOf(n->next()) : rightOf(n); };
    // Before h: the predecessor's right child, or h's left child.
    auto before = [](Node* n) {
        Node* b = n->prev();
        return b->right ? leftOf(n) : rightOf(b);
    };
    if (h == m_header.left) {
        if (m_size == 0) return findNonUniquePos(k);
        if (!keyCompare(keyPtrOfNode(h), k)) return leftOf(h);
        Node* a = h->next();
        if (a != &m_header && keyCompare(keyPtrOfNode(a), k)) return findNonUniquePos(k);
        return after(h);
    }
    if (h == &m_header) {
        if (keyCompare(k, keyPtrOfNode(m_header.right))) return findNonUniquePos(k);
        return rightOf(m_header.right);
    }
    if (!keyCompare(keyPtrOfNode(h), k)) {
        if (!keyCompare(k, keyPtrOfNode(h->prev()))) return before(h);
        return findNonUniquePos(k);
    }
    Node* a = h->next();
    if (a != &m_header && keyCompare(keyPtrOfNode(a), k)) return findNonUniquePos(k);
    return after(h);
}

// --- inserting -------------------------------------------------------------------------

Node* RBTreeImpl::insertNodeUnique(const void* key, const void* value) {
    InsertPos pos{};
    if (Node* existing = findUniquePos(key, &pos)) return existing;
    return insertNode(pos.x, pos.parent, key, value, pos.z);
}

Node* RBTreeImpl::insertNodeUnique(Node* hint, const void* key, const void* value) {
    InsertPos pos{};
    if (Node* existing = findUniquePos(hint, key, &pos)) return existing;
    return insertNode(pos.x, pos.parent, key, value, pos.z);
}

Node* RBTreeImpl::insertNodeNonUnique(const void* key, const void* value) {
    const InsertPos pos = findNonUniquePos(key);
    return insertNode(pos.x, pos.parent, key, value, pos.z);
}

Node* RBTreeImpl::insertNodeNonUnique(Node* hint, const void* key, const void* value) {
    const InsertPos pos = findNonUniquePos(hint, key);
    return insertNode(pos.x, pos.parent, key, value, pos.z);
}

// --- erasing ---------------------------------------------------------------------------

void RBTreeImpl::eraseNode(Node* z) {
    Node*& root = m_header.parent;
    Node*& leftmost = m_header.left;
    Node*& rightmost = m_header.right;
    Node* y = z;  // the node that leaves its place
    Node* x;      // the child that takes y's place (may be null)
    Node* xParent;
    if (!y->left)
        x = y->right;
    else if (!y->right)
        x = y->left;
    else {
        y = sFindLeftMost(y->right);
        x = y->right;
    }
    if (y != z) {
        // Two children: relink the successor y into z's place, so no element
        // moves between nodes.
        z->left->parent = y;
        y->left = z->left;
        if (y != z->right) {
            xParent = y->parent;
            if (x) x->parent = y->parent;
            y->parent->left = x;
            y->right = z->right;
            z->right->parent = y;
        } else {
            xParent = y;
        }
        if (root == z)
            root = y;
        else if (z->parent->left == z)
            z->parent->left = y;
        else
            z->parent->right = y;
        y->parent = z->parent;
        std::swap(y->colour, z->colour);
        y = z;  // carries the removed colour now
    } else {
        xParent = y->parent;
        if (x) x->parent = y->parent;
        if (root == z)
            root = x;
        else if (z->parent->left == z)
            z->parent->left = x;
        else
            z->parent->right = x;
        if (leftmost == z) leftmost = z->right ? sFindLeftMost(x) : z->parent;
        if (rightmost == z) rightmost = z->left ? sFindRightMost(x) : z->parent;
    }
    if (y->colour != kRed) {
        // A black node left: x carries an extra black up until it can be
        // absorbed (red x) or rotated away.
        while (x != root && (!x || x->colour == kBlack)) {
            if (x == xParent->left) {
                Node* w = xParent->right;
                if (w->colour == kRed) {
                    w->colour = kBlack;
                    xParent->colour = kRed;
                    rotateLeft(xParent);
                    w = xParent->right;
                }
                if ((!w->left || w->left->colour == kBlack) &&
                    (!w->right || w->right->colour == kBlack)) {
                    w->colour = kRed;
                    x = xParent;
                    xParent = xParent->parent;
                } else {
                    if (!w->right || w->right->colour == kBlack) {
                        w->left->colour = kBlack;
                        w->colour = kRed;
                        rotateRight(w);
                        w = xParent->right;
                    }
                    w->colour = xParent->colour;
                    xParent->colour = kBlack;
                    if (w->right) w->right->colour = kBlack;
                    rotateLeft(xParent);
                    break;
                }
            } else {
                Node* w = xParent->left;
                if (w->colour == kRed) {
                    w->colour = kBlack;
                    xParent->colour = kRed;
                    rotateRight(xParent);
                    w = xParent->left;
                }
                if ((!w->right || w->right->colour == kBlack) &&
                    (!w->left || w->left->colour == kBlack)) {
                    w->colour = kRed;
                    x = xParent;
                    xParent = xParent->parent;
                } else {
                    if (!w->left || w->left->colour == kBlack) {
                        w->right->colour = kBlack;
                        w->colour = kRed;
                        rotateLeft(w);
                        w = xParent->left;
                    }
                    w->colour = xParent->colour;
                    xParent->colour = kBlack;
                    if (w->left) w->left->colour = kBlack;
                    rotateRight(xParent);
                    break;
                }
            }
        }
        if (x) x->colour = kBlack;
    }
    --m_size;
    destroyNode(z);
}

void RBTreeImpl::eraseNodesRange(Node* first, Node* last) {
    if (first == m_header.left && last == &m_header) {
        clear();
        return;
    }
    while (first != last) {
        Node* next = first->next();
        eraseNode(first);
        first = next;
    }
}

int RBTreeImpl::eraseNodesMatching(const void* key) {
    const Range r = equalRange(key);
    const int n = sDistanceBetween(r.first, r.second);
    eraseNodesRange(r.first, r.second);
    return n;
}

void RBTreeImpl::clear() {
    destructAllNodes();
    initializeTreeState();
}

// --- whole trees ------------------------------------------------------------------------

// The source is in order, so each key goes after the current last node: the
// same place the unhinted insertion finds, without the descent.
void RBTreeImpl::copy(const RBTreeImpl& other) {
    if (&other == this) return;
    if (m_size) clear();
    const int valueOffset = other.m_typeUtil->valueOffset;
    for (const Node* n = other.begin(); n != other.end(); n = n->next()) {
        const char* bytes = reinterpret_cast<const char*>(n);
        insertNode(nullptr, m_header.right, other.keyPtrOfNode(n), bytes + valueOffset,
                   m_header.right);
    }
}

void RBTreeImpl::swap(RBTreeImpl& other) noexcept {
    m_header.swapHeaders(other.m_header);
    std::swap(m_size, other.m_size);
    std::swap(m_typeUtil, other.m_typeUtil);
    m_allocator.swap(other.m_allocator);
    if (m_header.parent) m_header.parent->parent = &m_header;
    if (other.m_header.parent) other.m_header.parent->parent = &other.m_header;
}

}  // namespace qx
