#include "scene/node_box.h"

void NodeBox::updateBounds() {
    boundsValid = 1;
    boundsMin = centre - halfExtents;
    boundsMax = centre + halfExtents;
}
