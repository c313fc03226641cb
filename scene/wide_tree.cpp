#include "scene/wide_tree.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/compiled_tree.h"

namespace sweepview {

namespace {

void setSlotBox(WideNode& wide, int lane, const CompiledNode& node) {
    const float low[3] = {node.boundsMin.x, node.boundsMin.y, node.boundsMin.z};
    const float high[3] = {node.boundsMax.x, node.boundsMax.y, node.boundsMax.z};
    for (int axis = 0; axis < 3; ++axis) {
        wide.slotMin[axis][lane] = low[axis];
        wide.slotMax[axis][lane] = high[axis];
    }
}

// The largest magnitude of the tree's bounds, those with slack grown by it
// (the boxes the wide form keeps); infinity where one is not a finite number.
float largestBound(const CompiledTree& tree) {
    float largest = 0.0f;
    for (std::size_t i = 0; i < tree.nodes.size(); ++i) {
        const CompiledNode node =
            tree.nodes[i].triangle == COMPILED_INNER_SLACK ? grownBox(tree.nodes[i], tree.slack[i]) : tree.nodes[i];
        for (const float value : {node.boundsMin.x, node.boundsMin.y, node.boundsMin.z,
                                  node.boundsMax.x, node.boundsMax.y, node.boundsMax.z}) {
            const float size = std::fabs(value);
            if (!std::isfinite(size)) {
                return INFINITY;
            }
            largest = std::max(largest, size);
        }
    }
    return largest;
}

// The prepared triangles under inner node root, a subtree of at most four
// leaves, as a run slot (see wideLeafRun); WIDE_EMPTY when all its leaves are
// skipped, 0 when their triangles do not follow each other (never in a
// compiled tree, whose triangles are prepared in walk order).
std::uint32_t leafRun(const CompiledTree& tree, std::uint32_t root) {
    std::uint32_t stack[8];
    int depth = 0;
    stack[depth++] = root;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    while (depth > 0) {
        const std::uint32_t index = stack[--depth];
        const CompiledNode& node = tree.nodes[index];
        if (node.triangle >= 0) {
            if (count > 0 && node.secondChild != first + count) {
                return 0;
            }
            first = count == 0 ? node.secondChild : first;
            ++count;
        } else if (isCompiledInner(node)) {
            if (depth > 6) {
                return 0;
            }
            if (node.secondChild != 0) {
                stack[depth++] = node.secondChild;
            }
            stack[depth++] = index + 1;
        }
    }
    if (count > 4) {
        return 0;
    }
    return count == 0 ? WIDE_EMPTY : wideLeafRun(first, count);
}

void clearWide(CompiledTree& tree) {
    tree.wide.clear();
    tree.leafNodes.clear();
    tree.parents.clear();
}

}  // namespace

void buildWideNodes(CompiledTree& tree) {
    clearWide(tree);
    const auto& nodes = tree.nodes;
    if (nodes.empty() || !isCompiledInner(nodes[0]) ||
        tree.triangles.size() > WIDE_BUILD_LIMIT) {
        return;
    }
    tree.largestBound = largestBound(tree);
    if (!std::isfinite(tree.largestBound)) {
        return;
    }
    tree.parents.assign(nodes.size(), 0);
    tree.leafNodes.reserve(tree.triangles.size());
    for (std::uint32_t i = 0; i < nodes.size(); ++i) {
        const CompiledNode& node = nodes[i];
        if (node.triangle >= 0) {
            tree.leafNodes.push_back(i);
        } else if (isCompiledInner(node)) {
            tree.parents[i + 1] = i;
            if (node.secondChild != 0) {
                tree.parents[node.secondChild] = i;
            }
        }
    }
    // Pending inner nodes of the compiled tree, each with the slot of its
    // parent wide node that is to name it; depth first, first slot first, so
    // a walk finds the wide nodes in memory in the order it needs them.
    struct Pending {
        std::uint32_t node;
        std::size_t parentIndex;
        int lane;
    };
    // Leaves under each node (a skipped leaf counts: it takes a slot); on a
    // small tree all count as many, so that every subtree may be opened.
    const bool keepSmallSubtrees = tree.triangles.size() > WIDE_WHOLE_SUBTREES_ABOVE;
    const bool runs = tree.triangles.size() > WIDE_LEAF_RUNS_ABOVE;
    std::vector<std::uint32_t> leaves(nodes.size(), keepSmallSubtrees ? 1 : 5);
    for (std::size_t i = nodes.size(); keepSmallSubtrees && i-- > 0;) {
        if (isCompiledInner(nodes[i])) {
            leaves[i] = leaves[i + 1] + (nodes[i].secondChild != 0 ? leaves[nodes[i].secondChild] : 0);
        }
    }
    std::vector<Pending> pending{{0, 0, -1}};
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        const auto index = static_cast<std::uint32_t>(tree.wide.size());
        if (next.lane >= 0) {
            tree.wide[next.parentIndex].slot[next.lane] = index;
        }
        // The node's children, then, while a slot is free, the inner node of
        // largest box among them replaced by its children in its place: the
        // slots stay in walk order, and fuller nodes make a shallower walk.
        // On a big tree, subtrees of more than four leaves go first, and one
        // of four or fewer, which makes a wide node of its leaves alone, is
        // opened only when the free slots can take all its leaves: split, it
        // made two nearly empty nodes (on a terrain, nearly half the wide
        // nodes held two leaves alone; a tenth when kept whole, and a
        // quarter fewer nodes).
        std::uint32_t slots[4];
        int count = 0;
        slots[count++] = next.node + 1;
        if (nodes[next.node].secondChild != 0) {
            slots[count++] = nodes[next.node].secondChild;
        }
        while (count < 4) {
            int widest = -1;
            float widestArea = -1.0f;
            bool widestBig = false;
            for (int i = 0; i < count; ++i) {
                const CompiledNode& candidate = nodes[slots[i]];
                if (!isCompiledInner(candidate)) {
                    continue;
                }
                const std::uint32_t under = leaves[slots[i]];
                const bool big = under > 4;
                if (!big && under - 1 > static_cast<std::uint32_t>(4 - count)) {
                    continue;
                }
                const Vec3 e = candidate.boundsMax - candidate.boundsMin;
                const float area = e.x * e.y + e.y * e.z + e.z * e.x;
                if (widest < 0 || (big && !widestBig) || (big == widestBig && area > widestArea)) {
                    widestBig = big;
                    widest = i;
                    widestArea = area;
                }
            }
            if (widest < 0) {
                break;
            }
            const std::uint32_t expanded = slots[widest];
            const std::uint32_t second = nodes[expanded].secondChild;
            const int added = second != 0 ? 1 : 0;
            for (int i = count - 1; i > widest; --i) {
                slots[i + added] = slots[i];
            }
            slots[widest] = expanded + 1;
            if (second != 0) {
                slots[widest + 1] = second;
            }
            count += added;
        }
        WideNode wide{};
        std::uint32_t innerSlots[4] = {0, 0, 0, 0};
        for (int lane = 0; lane < 4; ++lane) {
            wide.slot[lane] = WIDE_EMPTY;
            const std::uint32_t slotNode = slots[lane < count ? lane : 0];
            const CompiledNode& slot = nodes[slotNode];
            const bool slack = slot.triangle == COMPILED_INNER_SLACK;
            setSlotBox(wide, lane, slack ? grownBox(slot, tree.slack[slotNode]) : slot);
            if (lane >= count || slot.triangle == COMPILED_SKIPPED) {
                continue;
            }
            wide.used |= static_cast<std::uint8_t>(1 << lane);
            if (slot.triangle >= 0) {
                wide.slot[lane] = WIDE_LEAF | slot.secondChild;
                const bool boxed = tree.boxedLeaves[slot.secondChild] != 0;
                wide.boxedLeaves |= static_cast<std::uint8_t>(boxed ? 1 << lane : 0);
            } else {
                const bool prunable = slot.triangle == COMPILED_INNER;
                wide.prunable |= static_cast<std::uint8_t>(prunable ? 1 << lane : 0);
                wide.slackLanes |= static_cast<std::uint8_t>(slack ? 1 << lane : 0);
                const std::uint32_t run = runs && leaves[slotNode] <= 4 ? leafRun(tree, slotNode) : 0;
                if (run == WIDE_EMPTY) {
                    wide.used &= static_cast<std::uint8_t>(~(1 << lane));
                } else if (run != 0) {
                    wide.slot[lane] = run;
                } else {
                    innerSlots[lane] = slots[lane];
                }
            }
        }
        tree.wide.push_back(wide);
        for (int lane = 4; lane-- > 0;) {
            if (innerSlots[lane] != 0) {
                pending.push_back({innerSlots[lane], index, lane});
            }
        }
    }
}

}  // namespace sweepview
