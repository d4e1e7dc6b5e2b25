#include "Components/Base/Utility/qxPack.h"

#include "Components/Base/Utility/qxOrdering.h"
#include "containers/qxBlockAllocator.h"

#include <climits>
#include <cmath>

namespace qxUtil {

namespace {

// A free area (a leaf that is not used), a rectangle's slot (a used leaf),
// or an area split in two (both children set). freeW and freeH bound what
// the subtree can still take: the largest width and the largest height of
// its free leaves (-1 when it has none), so that a search can pass by a
// subtree that has no room without changing where anything goes.
struct Node {
    IntRange2d range;
    Node* child[2];
    Node* parent;
    int freeW;
    int freeH;
    long long freeArea;  // the largest area of a free leaf, -1 when none
    bool used;
};

// The packing tree of one call; its nodes go with it.
class PackTree {
public:
    explicit PackTree(const IntRange2d& area)
        : m_nodes(sizeof(Node), 256),
          m_root(newNode(nullptr, area.startX, area.startY, area.lengthX, area.lengthY)) {}

    // The leaf that now holds a w x h rectangle, or null when none has room.
    // Depth first, first children first, into the first free leaf that is
    // large enough, without recursion (a long run of second children would
    // otherwise take one stack frame each).
    const Node* insert(int w, int h) {
        if (w < 0 || h < 0) return nullptr;
        const long long area = static_cast<long long>(w) * h;
        m_stack.clear();
        m_stack.push_back(m_root);
        while (!m_stack.empty()) {
            Node* n = m_stack.back();
            m_stack.pop_back();
            if (n->freeW < w || n->freeH < h || n->freeArea < area) continue;  // also used leaves
            if (n->child[0]) {
                m_stack.push_back(n->child[1]);
                m_stack.push_back(n->child[0]);
                continue;
            }
            // The first child always takes the rectangle: it matches it on
            // the side just split, and has room on the other.
            for (;;) {
                const IntRange2d& r = n->range;
                const int dw = r.lengthX - w, dh = r.lengthY - h;
                if (dw == 0 && dh == 0) {
                    n->used = true;
                    n->freeW = n->freeH = -1;
                    n->freeArea = -1;
                    updateBounds(n->parent);
                    return n;
                }
                if (dw <= dh) {
                    n->child[0] = newNode(n, r.startX, r.startY, r.lengthX, h);
                    n->child[1] = newNode(n, r.startX, r.startY + h, r.lengthX, r.lengthY - h);
                } else {
                    n->child[0] = newNode(n, r.startX, r.startY, w, r.lengthY);
                    n->child[1] = newNode(n, r.startX + w, r.startY, r.lengthX - w, r.lengthY);
                }
                n = n->child[0];
            }
        }
        return nullptr;
    }

private:
    Node* newNode(Node* parent, int x, int y, int w, int h) {
        Node* n = static_cast<Node*>(m_nodes.alloc());
        n->range.set(x, y, w, h);
        n->child[0] = n->child[1] = nullptr;
        n->parent = parent;
        n->freeW = w;
        n->freeH = h;
        n->freeArea = static_cast<long long>(w) * h;
        n->used = false;
        return n;
    }

    // The bounds of n and its ancestors from their children, up to the first
    // whose bounds stay as they were.
    static void updateBounds(Node* n) {
        for (; n; n = n->parent) {
            const Node* a = n->child[0];
            const Node* b = n->child[1];
            const int w = a->freeW > b->freeW ? a->freeW : b->freeW;
            const int h = a->freeH > b->freeH ? a->freeH : b->freeH;
            const long long s = a->freeArea > b->freeArea ? a->freeArea : b->freeArea;
            if (w == n->freeW && h == n->freeH && s == n->freeArea) return;
            n->freeW = w;
            n->freeH = h;
            n->freeArea = s;
        }
    }

    qx::BlockAllocator m_nodes;
    Node* m_root;
    qx::vector<Node*> m_stack;
};

long long areaOf(const IntRange2d& r) {
    return static_cast<long long>(r.lengthX) * r.lengthY;
}

int clampToInt(long long v) {
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// Places rects[0 .. n) in order into area; returns how many were placed
// before the first that did not fit, and in *left the area of that one and
// all after it.
int placeInOrder(IntRange2d* rects, int n, const IntRange2d& area, long long* left) {
    PackTree tree(area);
    *left = 0;
    int placed = 0;
    for (; placed < n; ++placed) {
        IntRange2d& r = rects[placed];
        const Node* slot = tree.insert(r.lengthX, r.lengthY);
        if (!slot) break;
        r.startX = slot->range.startX;
        r.startY = slot->range.startY;
    }
    for (int i = placed; i < n; ++i) *left += areaOf(rects[i]);
    return placed;
}

bool longerSideFirst(const IntRange2d& a, const IntRange2d& b) {
    const int la = a.lengthX > a.lengthY ? a.lengthX : a.lengthY;
    const int lb = b.lengthX > b.lengthY ? b.lengthX : b.lengthY;
    return la > lb;
}

// a / b, 0 when b is 0 (rectangles that all have no height or no width).
int divideArea(long long a, int b) {
    return b == 0 ? 0 : clampToInt(a / b);
}

// The next enclosing size to try after left was not placed in w x h; false
// when it cannot grow any more within an int.
bool grow(bool powerOfTwo, long long left, int* w, int* h) {
    if (powerOfTwo) {
        int* side = *w >= *h ? h : w;
        if (*side > INT_MAX / 2) return false;
        *side = *side < 1 ? 1 : *side * 2;
        return true;
    }
    // Double precision: in single precision the root of a large area can
    // round down to the side it came from, and the square would never grow.
    const double root =
        std::floor(std::sqrt(static_cast<double>(*w) * *h + static_cast<double>(left)));
    const int side = root >= INT_MAX ? INT_MAX : static_cast<int>(root) + 1;
    if (side == *w && side == *h) return false;
    *w = *h = side;
    return true;
}

}  // namespace

int pack(qx::vector<IntRange2d>& rects, IntRange2d area) {
    long long left;
    placeInOrder(rects.data(), rects.size(), area, &left);
    return clampToInt(left);
}

IntRange2d pack(qx::vector<IntRange2d>& rects, bool powerOfTwo) {
    // Longest side first, on the installed pool; a copy in that order.
    Ordering order;
    order.sort(rects.data(), rects.size(), &longerSideFirst);
    qx::vector<IntRange2d> sorted;
    qx::vector<int> from;  // each sorted rectangle's index in rects
    sorted.reserve(rects.size());
    from.reserve(rects.size());
    int maxW = 0, maxH = 0;
    long long total = 0;
    for (int k = 0; k < order.size(); ++k) {
        const IntRange2d& r = rects[order[k]];
        if (r.lengthX < 0 || r.lengthY < 0) continue;  // left out, see the header
        sorted.push_back(r);
        from.push_back(order[k]);
        if (r.lengthX > maxW) maxW = r.lengthX;
        if (r.lengthY > maxH) maxH = r.lengthY;
        total += areaOf(r);
    }

    // The first guess: a square of the total area, unless a rectangle is at
    // least as long as that square's side.
    const int s = static_cast<int>(std::sqrt(static_cast<float>(total)));
    int w, h;
    if (s <= maxW || s <= maxH) {
        if (powerOfTwo) {
            maxW = ceilPowerOfTwo(maxW);
            maxH = ceilPowerOfTwo(maxH);
        }
        if (maxW <= maxH) {
            h = maxH;
            w = divideArea(total, maxH);
            if (w < maxW) w = maxW;
            if (powerOfTwo) w = ceilPowerOfTwo(w);
        } else {
            w = maxW;
            h = divideArea(total, maxW);
            if (h < maxH) h = maxH;
            if (powerOfTwo) h = ceilPowerOfTwo(h);
        }
    } else {
        w = h = powerOfTwo ? ceilPowerOfTwo(s) : s;
    }

    // Larger until everything fits. Also while only rectangles of no area are
    // left over, which a 0 x 0 first guess leaves when there are several.
    long long left;
    int placed = placeInOrder(sorted.data(), sorted.size(), IntRange2d(0, 0, w, h), &left);
    while (placed < sorted.size() && grow(powerOfTwo, left, &w, &h))
        placed = placeInOrder(sorted.data(), sorted.size(), IntRange2d(0, 0, w, h), &left);

    int boundW = 0, boundH = 0;
    for (int k = 0; k < placed; ++k) {
        const IntRange2d& r = sorted[k];
        IntRange2d& target = rects[from[k]];
        target.startX = r.startX;
        target.startY = r.startY;
        if (r.startX + r.lengthX > boundW) boundW = r.startX + r.lengthX;
        if (r.startY + r.lengthY > boundH) boundH = r.startY + r.lengthY;
    }
    if (powerOfTwo) return IntRange2d(0, 0, w, h);
    const int side = boundW > boundH ? boundW : boundH;
    return IntRange2d(0, 0, side, side);
}

}  // namespace qxUtil
