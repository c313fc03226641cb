#include "scene/node_box.h"

namespace sweepview {

void NodeBox::updateBounds() {
    boundsValid = 1;
    boundsMin = centre - halfExtents;
    boundsMax = centre + halfExtents;
}

}  // namespace sweepview
