// qx::ListImpl: the one compiled implementation of the circular doubly linked
// list. Nodes are allocated one by one and never move; the list object itself
// is the sentinel node. Everything it needs to know about the element type
// comes from a constant TypeUtil record; comparisons come per call.
#ifndef QXBASE_CONTAINERS_QXLISTIMPL_H
#define QXBASE_CONTAINERS_QXLISTIMPL_H

#include "qxDefs.h"

#include <cstdlib>

namespace qx {

class QX_API ListImpl {
public:
    // Node layout: the two links, then the element at elementOffset.
    struct Node {
        Node* next;
        Node* prev;
    };

    // The element follows the links in every record; malloc's 16-byte
    // alignment is therefore the most an element may need.
    static constexpr unsigned int kElementOffset = 16;

    // Node layout and element operations for one element type. One constant
    // record per type, never copied or freed; the list only points to it.
    // destroyElement may be null (nothing to do); copyElement may be null for
    // element types that cannot be copied, as long as nothing copies.
    struct TypeUtil {
        unsigned int nodeSize;       // link words plus element
        unsigned int elementOffset;  // kElementOffset
        void (*copyElement)(void* dst, const void* src);
        void (*destroyElement)(void* p);
    };

    using InitFn = void (*)(void* p);
    using CopyFn = void (*)(void* dst, const void* src);
    using FindFn = Node* (*)(const Node* from, const Node* end, const void* value);
    using FindInListFn = Node* (*)(const ListImpl& list, const void* value);
    // Moves all of `second` into `first` in order; the elements of `first`
    // come first among equals.
    using MergeFn = void (*)(ListImpl& first, ListImpl& second, const void* ctx);
    using EqualFn = bool (*)(const void* a, const void* b);

    // Construction. The initialize() forms do the same on an object that holds
    // no nodes (fresh memory or a moved-from list); they release nothing.
    explicit ListImpl(const TypeUtil* typeUtil) { initialize_inline(typeUtil); }
    ListImpl(const ListImpl& other);
    ListImpl(ListImpl&& other) noexcept;  // relinks other's nodes; other is left empty
    ListImpl& operator=(const ListImpl& other);
    ListImpl& operator=(ListImpl&& other) noexcept;
    ~ListImpl() {
        if (m_size) freeStorage();
    }

    void initialize(const TypeUtil* typeUtil);
    void initialize_inline(const TypeUtil* typeUtil) {
        initializeListState();
        m_typeUtil = typeUtil;
    }
    void initialize(const ListImpl& other);

    Node* begin() { return m_head.next; }
    const Node* begin() const { return m_head.next; }
    Node* end() { return &m_head; }
    const Node* end() const { return &m_head; }
    bool empty() const { return m_size == 0; }
    int size() const { return m_size; }
    int& size() { return m_size; }
    int& getReferenceToSize() { return m_size; }
    const TypeUtil* typeUtil() const { return m_typeUtil; }

    // Adding. Each allocates one node; the forms returning a node or element
    // pointer leave the element raw for the caller to construct.
    Node* insertAndReturnNode(Node* pos) { return insert(pos); }
    void* appendAndReturnPtr() { return elementPtrOfNode(append()); }
    void* prependAndReturnPtr() { return elementPtrOfNode(prepend()); }
    Node* append(InitFn init);
    Node* prepend(InitFn init);
    Node* insert(Node* pos, InitFn init);
    Node* append(const void* value);
    Node* prepend(const void* value);
    Node* insert(Node* pos, const void* value);
    Node* append(const void* value, CopyFn copyFn);
    Node* prepend(const void* value, CopyFn copyFn);
    Node* insert(Node* pos, const void* value, CopyFn copyFn);
    void appendAndAssignPtr(const void* p);
    void prependAndAssignPtr(const void* p);
    void insertAndAssignPtr(Node* pos, const void* p);
    // Range copies are all or nothing: the new nodes are built aside and
    // linked only once every element is constructed. Each returns the first
    // new node, or pos when the range is empty.
    Node* insert(Node* pos, const Node* first, const Node* last);
    Node* insert(Node* pos, const void* first, const void* last, int stride, CopyFn copyFn);
    void append(const ListImpl& other) { insert(end(), other.begin(), other.end()); }
    void prepend(const ListImpl& other) { insert(begin(), other.begin(), other.end()); }

    // Removing. Each returns the node that followed the last one removed.
    Node* erase(Node* node);
    Node* erase_inline(Node* node) {
        Node* next = unlink(node);
        destructNode(node);
        freeNode(node);
        return next;
    }
    void eraseFront() { erase(m_head.next); }
    void eraseBack() { erase(m_head.prev); }
    Node* erase(Node* first, Node* last);
    // Removes every element findFn matches.
    void erase(const void* value, FindFn findFn);
    Node* unlink(Node* node) {
        Node* next = node->next;
        node->prev->next = next;
        next->prev = node->prev;
        --m_size;
        return next;
    }
    void clear();

    // Whole-list operations.
    void assign(const Node* first, const Node* last);
    void assign(const void* first, const void* last, int stride, CopyFn copyFn);
    void copy(const ListImpl& other);
    void swap(ListImpl& other) noexcept;
    void reverse();
    void splice(Node* pos, ListImpl& other);
    // Splicing a node before itself or before its successor leaves it in place.
    void splice(Node* pos, ListImpl& other, Node* node) {
        if (pos == node || pos == node->next) return;
        sTransferNode(pos, node);
        ++m_size;
        --other.m_size;
    }
    void splice(Node* pos, ListImpl& other, Node* first, Node* last);
    Node* find(const void* value, FindInListFn findFn) const { return findFn(*this, value); }
    void merge(ListImpl& other, const void* ctx, MergeFn mergeFn) { mergeFn(*this, other, ctx); }
    // Of each run of adjacent elements that equalFn finds equal, the last node
    // stays.
    void unique(EqualFn equalFn);
    // Stable when mergeFn is.
    void sort(const void* ctx, MergeFn mergeFn);

    // Relink one node, or the nodes from first up to last, before pos. No size
    // changes; the caller adjusts both lists.
    static void sTransferNode(Node* pos, Node* node) {
        node->prev->next = node->next;
        node->next->prev = node->prev;
        linkBefore(pos, node);
    }
    static void sTransferNodes(Node* pos, Node* first, Node* last) {
        if (first == last || pos == last) return;  // nothing moves
        Node* const tail = last->prev;
        first->prev->next = last;
        last->prev = first->prev;
        Node* const before = pos->prev;
        before->next = first;
        first->prev = before;
        tail->next = pos;
        pos->prev = tail;
    }

protected:
    void freeStorage();
    void* elementPtrOfNode(Node* node) const {
        return reinterpret_cast<char*>(node) + m_typeUtil->elementOffset;
    }
    const void* elementPtrOfNode(const Node* node) const {
        return reinterpret_cast<const char*>(node) + m_typeUtil->elementOffset;
    }
    Node* allocateNode() const {
        void* p = std::malloc(m_typeUtil->nodeSize);
        if (!p) nodeAllocationFailed(m_typeUtil->nodeSize);
        return static_cast<Node*>(p);
    }
    static void freeNode(Node* node) { std::free(node); }
    void destructNode(Node* node) const {
        if (m_typeUtil->destroyElement) m_typeUtil->destroyElement(elementPtrOfNode(node));
    }

    // New nodes, linked, with raw elements.
    Node* append() { return insert(end()); }
    Node* prepend() { return insert(begin()); }
    Node* insert(Node* pos);

    // Link a node the caller allocated (and usually constructed).
    void append(Node* node) { insert(end(), node); }
    void prepend(Node* node) { insert(begin(), node); }
    void insert(Node* pos, Node* node) {
        linkBefore(pos, node);
        ++m_size;
    }

    static void linkBefore(Node* pos, Node* node) {
        Node* const before = pos->prev;
        node->next = pos;
        node->prev = before;
        before->next = node;
        pos->prev = node;
    }

    void initializeListState() {
        m_head.next = m_head.prev = &m_head;
        m_size = 0;
    }

    Node m_head;  // next and prev: first and last node, or the head itself when empty
    int m_size;
    const TypeUtil* m_typeUtil;

private:
    // For sort's scratch lists, which only ever hold nodes of this list.
    ListImpl() { initializeListState(); }

    [[noreturn]] static void nodeAllocationFailed(unsigned int bytes);
    // A new unlinked node holding a copy of src; nothing is left allocated when
    // the copy throws.
    Node* newNodeCopy(const void* src, CopyFn copyFn);
    // Links the chain head.next .. head.prev of count new nodes before pos.
    void linkChain(Node* pos, Node& head, int count);
    // Destroys and frees the nodes of a chain that was never linked.
    void freeChain(Node& head);
    // The range forms of insert and assign, over the nodes of a list or an
    // array (defined and used in the library only).
    template <class Source>
    Node* insertCopies(Node* pos, Source first, Source last, CopyFn copyFn);
    template <class Source>
    void assignCopies(Source first, Source last, CopyFn copyFn);
};

}  // namespace qx

#endif
