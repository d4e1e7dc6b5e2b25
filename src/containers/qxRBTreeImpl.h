// qx::RBTreeImpl: the one compiled implementation behind the ordered set and
// map templates. A red-black tree of nodes that never move; searching runs the
// typed template's own functions (with the comparison inline), while linking,
// rebalancing, erasing and iteration happen here.
#ifndef QXBASE_CONTAINERS_QXRBTREEIMPL_H
#define QXBASE_CONTAINERS_QXRBTREEIMPL_H

#include "containers/qxBlockAllocator.h"
#include "qxDefs.h"

namespace qx {

class QX_API RBTreeImpl {
public:
    // Enumerators rather than static members: nothing to import from the DLL
    // when a caller binds one to a reference.
    enum Colour : int { kBlack = 0, kRed = 1 };
    enum : int {
        // Keys start right after the four link fields in every node.
        kKeyOffset = 32,
        kNodesInBlock = 10,
    };

    // The link part of a node; the key follows at kKeyOffset, the value at the
    // record's valueOffset. The tree's header is a Node too: its left, right
    // and parent are the leftmost node, the rightmost node and the root, and it
    // is always red, which tells it apart from the (black) root.
    struct QX_API Node {
        Node* left;
        Node* right;
        Node* parent;
        int colour;

        // In-order successor; the last node's is the header.
        Node* next() {
            Node* x = this;
            if (x->right) {
                x = x->right;
                while (x->left) x = x->left;
                return x;
            }
            Node* y = x->parent;
            while (x == y->right) {
                x = y;
                y = y->parent;
            }
            // Climbing from a root without a right child passes through the
            // header (whose right is that root) and lands back on the header.
            return x->right != y ? y : x;
        }
        const Node* next() const { return const_cast<Node*>(this)->next(); }

        // In-order predecessor; the header's is the rightmost node.
        Node* prev() {
            Node* x = this;
            if (x->colour == kRed && x->parent->parent == x) return x->right;
            if (x->left) {
                x = x->left;
                while (x->right) x = x->right;
                return x;
            }
            Node* y = x->parent;
            while (x == y->left) {
                x = y;
                y = y->parent;
            }
            return y;
        }
        const Node* prev() const { return const_cast<Node*>(this)->prev(); }

        // Exchanges leftmost, rightmost, root and colour of two headers; an
        // empty header's self-links are re-pointed at their new owner.
        void swapHeaders(Node& other) noexcept;
    };

    // Element operations, node layout and the per-key-type search functions.
    // Destroy entries, copyValue and constructValue may be null.
    struct TypeUtil {
        int nodeSize;
        int keyOffset;
        int valueOffset;
        bool (*keyLess)(const void* a, const void* b);
        void (*copyKey)(void* dst, const void* src);
        void (*copyValue)(void* dst, const void* src);
        void (*constructValue)(void* dst);
        void (*destroyKey)(void* p);
        void (*destroyValue)(void* p);
        // Destroys and frees every node of a subtree.
        void (*destroyAll)(RBTreeImpl* tree, Node* subtreeRoot);
        // First node whose key is not before (lowerBound) / after (upperBound)
        // key, or the header.
        Node* (*lowerBound)(const RBTreeImpl* tree, const void* key);
        Node* (*upperBound)(const RBTreeImpl* tree, const void* key);
        // Descends left while key is before the node's key, right otherwise;
        // stores the last node visited (the header on an empty tree) and
        // returns whether the last step went left (true on an empty tree).
        bool (*findInsertParent)(RBTreeImpl* tree, const void* key, Node** parent);
    };

    // The nodes of equalRange: lower bound and upper bound.
    struct Range {
        Node* first;
        Node* second;
    };

    // Where a new node goes, in insertNode's terms: as parent's left child
    // when x is set, as its right child when z is set, else by comparing the
    // new key with parent's (the header's only child is always its left).
    struct InsertPos {
        Node* x;
        Node* parent;
        Node* z;
    };

    // Construction. initialize() builds the tree in raw memory (it runs the
    // allocator's constructor); initializeTreeState() only resets the header.
    explicit RBTreeImpl(const TypeUtil* typeUtil);
    RBTreeImpl(const RBTreeImpl& other);
    RBTreeImpl(RBTreeImpl&& other) noexcept;
    RBTreeImpl& operator=(const RBTreeImpl& other);
    RBTreeImpl& operator=(RBTreeImpl&& other) noexcept;
    ~RBTreeImpl();

    void initialize(const TypeUtil* typeUtil);
    void initialize(const RBTreeImpl& other);
    void initializeTreeState();

    Node* begin() const { return m_header.left; }
    Node* end() const { return const_cast<Node*>(&m_header); }
    Node* rightmost() const { return m_header.right; }
    Node* root() const { return m_header.parent; }
    int size() const { return m_size; }
    const TypeUtil* typeUtil() const { return m_typeUtil; }

    // Never null: when the heap runs dry the allocator stops the process with
    // a message rather than handing the caller a failure it cannot report.
    Node* allocateNode() { return static_cast<Node*>(m_allocator.alloc()); }
    void freeNode(Node* node) { m_allocator.free(node); }
    void setNumElementsInBlock(int n) { m_allocator.setNumElementsInBlock(n); }
    const BlockAllocator& allocator() const { return m_allocator; }

    // Searching, through the record's functions.
    Node* lowerBound(const void* key) const { return m_typeUtil->lowerBound(this, key); }
    Node* upperBound(const void* key) const { return m_typeUtil->upperBound(this, key); }
    Range equalRange(const void* key) const { return Range{lowerBound(key), upperBound(key)}; }
    // The first node with an equal key, or the header.
    Node* findNode(const void* key) const;
    int count(const void* key) const;
    // Map element access: the value for key, inserted default-constructed
    // (when the record can) if missing.
    void* getValuePtr(const void* key);

    // Insertion. The unique forms return the new node, or the node already
    // holding an equal key (then nothing is copied). A null value means
    // default-construct it (when the record can). Equal keys of the
    // non-unique forms go after the existing ones, or directly before a hint
    // with an equal key.
    Node* insertNodeUnique(const void* key) { return insertNodeUnique(key, nullptr); }
    Node* insertNodeUnique(const void* key, const void* value);
    Node* insertNodeUnique(Node* hint, const void* key) {
        return insertNodeUnique(hint, key, nullptr);
    }
    Node* insertNodeUnique(Node* hint, const void* key, const void* value);
    Node* insertNodeNonUnique(const void* key) { return insertNodeNonUnique(key, nullptr); }
    Node* insertNodeNonUnique(const void* key, const void* value);
    Node* insertNodeNonUnique(Node* hint, const void* key) {
        return insertNodeNonUnique(hint, key, nullptr);
    }
    Node* insertNodeNonUnique(Node* hint, const void* key, const void* value);

    // Two-step insertion for callers that construct the element themselves
    // (moved or emplaced): find the place, then link a node taken from
    // allocateNode() whose key is constructed. The unique forms return the
    // node holding an equal key (pos untouched), or null with pos filled.
    Node* findUniquePos(const void* key, InsertPos* pos);
    Node* findUniquePos(Node* hint, const void* key, InsertPos* pos);
    InsertPos findNonUniquePos(const void* key);
    InsertPos findNonUniquePos(Node* hint, const void* key);
    void linkNode(Node* node, const InsertPos& pos);

    // Erasing. Only the erased nodes' positions become invalid.
    void eraseNode(Node* node);
    void eraseNodesRange(Node* first, Node* last);
    int eraseNodesMatching(const void* key);
    // Keeps the allocator's blocks for reuse.
    void clear();

    void copy(const RBTreeImpl& other);
    void swap(RBTreeImpl& other) noexcept;

    void rebalance(Node* node);
    void rotateLeft(Node* node);
    void rotateRight(Node* node);

    static int sDistanceBetween(const Node* a, const Node* b);
    static Node* sFindLeftMost(Node* node) {
        while (node->left) node = node->left;
        return node;
    }
    static Node* sFindRightMost(Node* node) {
        while (node->right) node = node->right;
        return node;
    }

protected:
    void* keyPtrOfNode(const Node* n) const {
        return const_cast<char*>(reinterpret_cast<const char*>(n)) + m_typeUtil->keyOffset;
    }
    void* valuePtrOfNode(const Node* n) const {
        return const_cast<char*>(reinterpret_cast<const char*>(n)) + m_typeUtil->valueOffset;
    }
    bool keyCompare(const void* a, const void* b) const { return m_typeUtil->keyLess(a, b); }

    Node* insertNode(Node* x, Node* parent, const void* key, const void* value, Node* z);
    void destructAllNodes();

    // The header: leftmost, rightmost, root, colour (always red).
    Node m_header;
    int m_size;
    const TypeUtil* m_typeUtil;
    BlockAllocator m_allocator;

private:
    Node* constructNode(const void* key, const void* value);
    void destroyNode(Node* node);
};

}  // namespace qx

#endif
