// Rectangle packing: places rectangles without overlap in one enclosing
// rectangle, for instance many small images in one larger one.
//
//     qx::vector<qxUtil::IntRange2d> rects;      // sizes in lengthX, lengthY
//     rects.push_back(qxUtil::IntRange2d(0, 0, 30, 20));
//     ...
//     qxUtil::IntRange2d all = qxUtil::pack(rects, false);
//     // every rects[i] now has its origin (startX, startY) inside all
//
// Each free area is a leaf of a binary tree: a rectangle takes the first
// leaf, depth first, that it fits, and a leaf larger than the rectangle is
// split in two along the side with less room to spare. The enclosing size is
// searched for: the rectangles are placed longest side first (ordered on the
// installed thread pool), in a first guess from their total area and largest
// sides, and into a larger one each time some are left over.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXPACK_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXPACK_H

#include "Components/Base/Utility/qxIntRange.h"
#include "containers/qxVector.h"
#include "qxDefs.h"

namespace qxUtil {

// Places the rectangles, in vector order, into area: each one placed gets
// the origin of its slot (sizes are never changed). At the first rectangle
// that does not fit, placing stops; the result is the summed area (width x
// height) of that rectangle and every later one, and 0 when all were placed
// (also when only rectangles of no area were left out). A rectangle with a
// negative width or height never fits.
QX_API int pack(qx::vector<IntRange2d>& rects, IntRange2d area);

// Chooses an enclosing range, places every rectangle in it and returns it,
// at the origin (0, 0). Without powerOfTwo it is a square, the bounding box
// of the placement widened to its longer side; with powerOfTwo both sides
// are powers of two. An empty vector, or rectangles all of no size, give a
// range of 0 x 0 (1 x 1 with powerOfTwo) and every origin at (0, 0).
// Rectangles with a negative width or height are left out: not placed,
// origin untouched.
QX_API IntRange2d pack(qx::vector<IntRange2d>& rects, bool powerOfTwo);

}  // namespace qxUtil

#endif
