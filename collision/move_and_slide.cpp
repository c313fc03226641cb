#include "move_and_slide.h"

#include <algorithm>
#include <cmath>

#include "../geometry/collision_epsilon.h"
#include "closest_point.h"
#include "sweep_first.h"

namespace sweepview {

namespace {

// Overlaps are resolved one nearest triangle at a time; a sphere wedged
// between more than this many is left where the last push put it.
constexpr int MAX_PUSH_OUTS = 4;

// A motion shorter than this fraction of the skin moves nothing worth a sweep.
constexpr float NEGLIGIBLE_MOTION = 1e-3f;

// How far into a plane the motion may point, relative to its length, before
// the plane counts as blocking it: float rounding leaves slid motion a hair
// inside the planes it slid along.
constexpr float INTO_PLANE = 1e-5f;

// How near the skin distance, as a share of the skin, a contact leaves the
// centre where the sweep stopped it rather than moving it along the normal.
constexpr float SETTLED = 0.05f;

// A move that met something and got less far than this share of the skin
// stays where it started. Above the settled band with a sweep's stop short
// met at a slant (up to about 0.053 of the skin), so that a sphere held at
// an edge does not swap between the settled place and the cleared one.
constexpr float STILL = 0.1f;

// The cosine within which a contact's normal is taken for its triangle's (about 6 degrees).
constexpr float SAME_PLANE = 0.995f;

// How far, as a share of the skin, below and in front of a ledge's edge the
// face under it is looked for.
constexpr float UNDER_EDGE = 1.0f;

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// What one move needs at every step, derived once from the settings.
struct Mover {
    const CollisionMesh& scene;
    float radius;
    float skin;
    Vec3 up;
    float cosMaxSlope;
    float stepHeight;
    SweepOptions sweep;
    SlideResult& result;

    // Written so that a non-number normal is no floor.
    bool walkable(const Vec3& normal) const { return dot(normal, up) >= cosMaxSlope; }

    Vec3 horizontal(const Vec3& v) const { return v - up * dot(v, up); }

    // centre moved along normal to lie radius + skin in front of the plane
    // through point: for a contact normal, the centre the skin clear of it.
    Vec3 clearOf(const Vec3& centre, const Vec3& point, const Vec3& normal) const {
        return centre + normal * ((radius + skin) - dot(centre - point, normal));
    }

    // The same, moved along the unit direction (not square to the plane).
    Vec3 clearOf(const Vec3& centre, const Vec3& point, const Vec3& normal, const Vec3& direction) const {
        return centre + direction * (((radius + skin) - dot(centre - point, normal)) / dot(direction, normal));
    }

    // centre cleared of a floor contact answered with normal. Where that is
    // the triangle's normal in place of an edge's or corner's, the triangle's
    // plane can leave the sphere clear of the edge (over a crest, by up to
    // radius (1 / SAME_PLANE - 1), past the floor probe's reach for a large
    // sphere): it is lowered back to the skin's distance from the nearest point.
    Vec3 clearOfFloor(const Vec3& centre, const SweepHit& hit, const Vec3& normal) const {
        const Vec3 cleared = clearOf(centre, hit.point, normal);
        if (hit.feature == ContactFeature::Face || normal == hit.normal) {
            return cleared;
        }
        const float gap = radius + skin;
        const ClosestPoint nearest = closestPoint(scene, cleared, 1.01f * gap, sweep.faces);
        const float over = nearest.found ? nearest.distance - gap : 0.0f;
        return over > 0.0f ? cleared - normal * over : cleared;
    }

    // The way an edge or corner that holds the sphere back pushes it: level,
    // when the normal leans up, so a sphere held at a stair's edge is not
    // lifted off the floor it stands on; else along the normal. (A steep face
    // pushes along its normal, which keeps a sphere wedged between two
    // slopes out of both.)
    Vec3 holdBack(const Vec3& normal) const {
        const Vec3 level = normalized(horizontal(normal));
        return dot(normal, up) > 0.0f && finite(level) ? level : normal;
    }

    // The normal a contact is answered with: the triangle's own when the
    // contact's is within a few degrees of it, as where a sphere over the seam
    // of a flat floor meets a corner or edge a hair aside, so that seams
    // neither tilt nor lift the motion; the contact's otherwise.
    Vec3 supportNormal(const SweepHit& hit) const {
        Vec3 face = faceNormal(hit.triangle);
        if (dot(face, hit.normal) < 0.0f) {
            face = face * -1.0f;
        }
        return dot(face, hit.normal) >= SAME_PLANE ? face : hit.normal;
    }

    // An edge or corner the sphere meets more than the step height (and the
    // skin) above its foot, on top of a face too steep to stand on that faces
    // the sphere: the rounded bottom would otherwise roll up any such ledge
    // lower than radius (1 - cos maxSlope), as its contact normal is
    // walkable. Crests, seams and the edges of tessellated slopes have a
    // walkable face or none there, so they stay floors. lift: how far the
    // sphere was raised above the ground its move started on (a step up).
    bool ledge(const SweepHit& hit, const Vec3& centre, float lift) const {
        if (hit.feature == ContactFeature::Face) {
            return false;
        }
        const float aboveFoot = dot(hit.point - centre, up) + radius + lift;
        if (!(aboveFoot > stepHeight + skin)) {
            return false;
        }
        const Vec3 towards = normalized(horizontal(hit.normal));
        if (!finite(towards)) {
            return false;  // straight under the centre: what it stands on
        }
        const float reach = UNDER_EDGE * skin;
        const Vec3 probe = hit.point + (towards - up) * reach;
        const ClosestPoint under = closestPoint(scene, probe, 2.0f * reach, sweep.faces);
        if (!under.found) {
            return false;
        }
        Vec3 face = faceNormal(under.triangle);
        if (dot(face, probe - under.point) < 0.0f) {
            face = face * -1.0f;
        }
        return finite(face) && !walkable(face);
    }

    // Whether a contact met with the sphere's centre at centre can be stood on.
    bool floor(const SweepHit& hit, const Vec3& centre, float lift) const {
        return hit.found && walkable(supportNormal(hit)) && !ledge(hit, centre, lift);
    }

    void met(std::int32_t triangle) {
        ++result.contacts;
        result.triangles.push_back(triangle);
    }

    SweepHit sweepBy(const Vec3& from, const Vec3& motion) const {
        return sweepFirst(scene, SweptSphere(from, motion, radius), sweep);
    }

    // motion's horizontal part carried on along a floor with normal: the same
    // horizontal travel, raised or lowered to stay in the floor's plane.
    Vec3 alongFloor(const Vec3& motion, const Vec3& normal) const {
        const Vec3 flat = horizontal(motion);
        return flat - up * (dot(flat, normal) / dot(normal, up));
    }

    // What is left of rest after a contact with normal, stood on or not, for
    // a slide that set out along heading.
    Vec3 afterContact(const Vec3& normal, const Vec3& rest, bool standable, const Vec3& heading) const {
        if (standable) {
            return alongFloor(rest, normal);
        }
        // A wall is not climbed: horizontal motion loses its part into the
        // wall's horizontal normal, so it cannot turn into upward motion.
        Vec3 flat = horizontal(rest);
        const Vec3 flatNormal = horizontal(normal);
        const float flatLengthSquared = lengthSquared(flatNormal);
        if (flatLengthSquared > 1e-12f) {
            const Vec3 across = flatNormal * (1.0f / std::sqrt(flatLengthSquared));
            const float into = dot(flat, across);
            if (into < 0.0f) {
                flat = flat - across * into;
            }
        }
        // Slid along one wall into another at an obtuse corner, the motion
        // would turn back along the second: it stops instead, or the sphere
        // swaps walls every move.
        if (dot(flat, horizontal(heading)) < 0.0f) {
            flat = zeroVector;
        }
        // Vertical motion slides along the wall (falling down a steep slope,
        // rising along an overhang) only where it points into it.
        Vec3 vertical = up * dot(rest, up);
        const float into = dot(vertical, normal);
        if (into < 0.0f) {
            vertical = vertical - normal * into;
        }
        return flat + vertical;
    }

    // The unit normal of triangle, its winding's; non-numbers without area.
    Vec3 faceNormal(std::int32_t triangle) const {
        const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(triangle)];
        const Vec3& a = scene.vertices[static_cast<std::size_t>(t.vertex0)];
        const Vec3& b = scene.vertices[static_cast<std::size_t>(t.vertex1)];
        const Vec3& c = scene.vertices[static_cast<std::size_t>(t.vertex2)];
        return normalized(cross(b - a, c - a));
    }

    // Pushes centre out of every triangle nearer than half the skin beyond the
    // radius, nearest first, to radius + skin along the way out. Returns
    // whether the sphere overlapped one (nearer than the radius).
    bool pushOut(Vec3& centre) {
        bool overlapped = false;
        for (int i = 0; i < MAX_PUSH_OUTS; ++i) {
            const ClosestPoint nearest =
                closestPoint(scene, centre, radius + skin, sweep.faces);
            if (!(nearest.found && nearest.distance < radius + 0.5f * skin)) {
                return overlapped;
            }
            overlapped = overlapped || nearest.distance < radius;
            Vec3 out;
            if (nearest.feature == ContactFeature::Face || !(nearest.distance > 0.0f)) {
                out = faceNormal(nearest.triangle);
                if (dot(out, centre - nearest.point) < 0.0f && sweep.faces == FaceSides::Two) {
                    out = out * -1.0f;
                }
            } else {
                out = (centre - nearest.point) * (1.0f / nearest.distance);
            }
            if (!finite(out)) {
                return overlapped;
            }
            centre = clearOf(centre, nearest.point, out);
            met(nearest.triangle);
        }
        return overlapped;
    }

    // Whether a sphere centred at centre keeps at least half the skin from
    // every triangle that could stop it.
    bool clearAt(const Vec3& centre) const {
        return !closestPoint(scene, centre, radius + 0.5f * skin, sweep.faces).found;
    }

    // A centre behind a face the sphere overlaps (inside a closed solid, under
    // a floor) is pushed through to its front, radius + skin clear: faces stop
    // the sphere from the front only, so nothing else would ever push it out,
    // and a sphere only gets there by starting there. Returns whether it did.
    bool pushThrough(Vec3& centre) {
        if (sweep.faces == FaceSides::Two) {
            return false;
        }
        const ClosestPoint nearest = closestPoint(scene, centre, radius, FaceSides::Two);
        const Vec3 face = nearest.found ? faceNormal(nearest.triangle) : zeroVector;
        if (!(nearest.distance < radius && dot(face, centre - nearest.point) < 0.0f)) {
            return false;
        }
        centre = clearOf(centre, nearest.point, face);
        met(nearest.triangle);
        return true;
    }

    // Whether the sphere at centre stands on a floor, its normal, and where
    // the sphere rests on it (moved along its normal to the skin from it;
    // centre itself when found under the foot): a sweep down far enough to
    // meet any floor the skin below the sphere. A wall or ledge the sphere
    // leans on can meet that sweep first; a thin sphere swept straight down
    // from the foot then finds the floor under it.
    bool standsOn(const Vec3& centre, Vec3& normal, Vec3& rest) const {
        const float reach = 2.0f * skin / std::max(cosMaxSlope, 0.1f);
        SweepHit hit = sweepBy(centre, up * -reach);
        const Vec3 touch = centre + up * (-reach * hit.time);
        rest = centre;
        if (hit.found && !floor(hit, touch, 0.0f)) {
            const SweptSphere foot(centre + up * (2.0f * skin - radius), up * -(reach + 2.0f * skin), skin);
            hit = sweepFirst(scene, foot, sweep);
        } else if (hit.found) {
            rest = clearOfFloor(centre, hit, supportNormal(hit));
        }
        normal = hit.found ? supportNormal(hit) : zeroVector;
        return walkable(normal);
    }
};

// Where one slide ends.
struct Pass {
    Vec3 centre;
    int iterations = 0;
    bool metWall = false;  // some contact was too steep to stand on
};

// Sweeps centre by motion, sliding after each contact as afterContact says,
// the motion kept out of every plane met so far (planes may start with the
// floor stood on), for at most iterations sweeps; lift as Mover::ledge takes it.
Pass slide(Mover& mover, Vec3 centre, Vec3 motion, std::vector<Vec3>& planes, int iterations,
           float lift = 0.0f) {
    Pass pass;
    const float negligible = NEGLIGIBLE_MOTION * mover.skin;
    const Vec3 heading = motion;
    while (pass.iterations < iterations && lengthSquared(motion) > negligible * negligible) {
        ++pass.iterations;
        const SweepHit hit = mover.sweepBy(centre, motion);
        if (hit.startsInside && !(hit.found && hit.time <= 0.0f)) {
            // Already a hair within the radius (a slide along one wall of an
            // acute corner may end so in the other), where the face test lets
            // the sphere move further in: out first, then the sweep again.
            const Vec3 before = centre;
            mover.pushOut(centre);
            if (!(centre == before)) {
                continue;
            }
        }
        if (!hit.found) {
            centre = centre + motion;
            motion = zeroVector;
            break;
        }
        mover.met(hit.triangle);
        // A centre that reaches the contact already the skin away stays put,
        // so a sphere pushed into a corner it rests in keeps every bit.
        const Vec3 normal = mover.supportNormal(hit);
        const Vec3 reached = centre + motion * hit.time;
        const bool standable = mover.walkable(normal) && !mover.ledge(hit, reached, lift);
        const bool edge = hit.feature != ContactFeature::Face;
        const Vec3 push = standable || !edge ? normal : mover.holdBack(normal);
        const float gap = dot(reached - hit.point, normal) - (mover.radius + mover.skin);
        const bool settled = gap >= -SETTLED * mover.skin && gap <= SETTLED * mover.skin;
        centre = settled     ? reached
                 : standable ? mover.clearOfFloor(reached, hit, normal)
                             : mover.clearOf(reached, hit.point, normal, push);
        pass.metWall = pass.metWall || !standable;
        Vec3 next = mover.afterContact(normal, motion * (1.0f - hit.time), standable, heading);
        const float slack = INTO_PLANE * length(next);
        for (std::size_t i = 0; i < planes.size(); ++i) {
            if (!(dot(next, planes[i]) < -slack)) {
                continue;
            }
            // Blocked by an earlier plane too: only their crease is open.
            Vec3 crease = cross(planes[i], normal);
            const float creaseSquared = lengthSquared(crease);
            if (!(creaseSquared > 1e-12f)) {
                next = zeroVector;
                break;
            }
            crease = crease * (1.0f / std::sqrt(creaseSquared));
            next = crease * dot(crease, next);
            for (std::size_t j = 0; j < planes.size(); ++j) {
                if (j != i && dot(next, planes[j]) < -slack) {
                    next = zeroVector;  // a third plane closes the crease
                    break;
                }
            }
            break;
        }
        // A ledge holds the sphere back as an upright wall would, so no crease
        // with another plane leads up over it.
        planes.push_back(standable || !mover.walkable(normal) ? normal : push);
        motion = next;
    }
    pass.centre = centre;
    return pass;
}

// Pushes centre out of what it overlaps at the start of a move: front faces,
// then each face it lies behind in turn (a solid's corner has two or three)
// and what that brings it into. Returns whether it overlapped any.
bool clearStart(Mover& mover, Vec3& centre) {
    // Most moves start clear of everything, on either side: one search of
    // both sides shows it and spares the push-outs' own two.
    const ClosestPoint near =
        closestPoint(mover.scene, centre, mover.radius + mover.skin, FaceSides::Two);
    if (!(near.found && near.distance < mover.radius + 0.5f * mover.skin)) {
        return false;
    }
    bool overlapped = mover.pushOut(centre);
    for (int i = 0; i < MAX_PUSH_OUTS && mover.pushThrough(centre); ++i) {
        overlapped = true;
        mover.pushOut(centre);
    }
    return overlapped;
}

// A step up from centre: rise by up to stepHeight, walk the horizontal walk,
// come down onto a floor; taken into chosen when it gets further along.
void stepUp(Mover& mover, const Vec3& centre, const Vec3& walk, float stepHeight, int iterations,
            Pass& chosen) {
    const Vec3& up = mover.up;
    const float skin = mover.skin;
    const SweepHit rise = mover.sweepBy(centre, up * stepHeight);
    const float risen = stepHeight * (rise.found ? rise.time : 1.0f);
    std::vector<Vec3> raisedPlanes;
    const Pass raised = slide(mover, centre + up * risen, walk, raisedPlanes, iterations, risen);
    const Vec3 ahead = normalized(walk);
    const float drop = risen + 2.0f * skin;
    SweepHit land = mover.sweepBy(raised.centre, up * -drop);
    Pass over = raised;
    bool further = false;
    if (land.found && !mover.walkable(mover.supportNormal(land))) {
        // Come down on the stair's edge, too steep to stand on: walk on just
        // far enough for the edge to lie within the steepest floor's slope
        // of the centre, so the sphere lands on the top beyond it without a
        // visible jump; failing that, up to a radius further.
        const float sinMaxSlope = std::sqrt(std::max(0.0f, 1.0f - mover.cosMaxSlope * mover.cosMaxSlope));
        const float past = dot(land.point - raised.centre, ahead) - mover.radius * sinMaxSlope + 2.0f * skin;
        for (const float extra : {std::clamp(past, 0.0f, mover.radius), mover.radius}) {
            std::vector<Vec3> overPlanes;
            over = slide(mover, centre + up * risen, walk + ahead * extra, overPlanes, iterations, risen);
            land = mover.sweepBy(over.centre, up * -drop);
            further = true;
            if (land.found && mover.walkable(mover.supportNormal(land))) {
                break;
            }
        }
    }
    const Vec3 touchdown = over.centre + up * (-drop * land.time);
    if (!mover.floor(land, touchdown, risen - drop * land.time)) {
        return;
    }
    const Vec3 landed = mover.clearOfFloor(touchdown, land, mover.supportNormal(land));
    // The radius further counts only for landing on a top: slid along a
    // riser instead it would carry the sphere a radius a step.
    const bool climbed = !further || dot(landed - centre, up) > skin;
    if (climbed && dot(landed - centre, ahead) > dot(chosen.centre - centre, ahead) + skin) {
        chosen.centre = landed;
        chosen.iterations = over.iterations;
        mover.met(land.triangle);
    }
}

// Whether a move from position that met something and ended at end stays at
// position. Contacts that give back all but a hair of the motion leave the
// sphere where it was, push-outs within the skin included: pushed into a
// corner it rests in a hair inside one wall, or wedged between slopes, it
// does not jitter. So does a move that ends within the skin of its start and
// a hair short of any headway along its motion: it only swapped sides in its
// wedge. A start that overlapped the mesh is always pushed out.
bool keepsStart(const Mover& mover, const Vec3& position, const Vec3& end, const Vec3& motion,
                bool overlapped) {
    const float hair = STILL * mover.skin;
    const Vec3 moved = end - position;
    const bool noHeadway =
        lengthSquared(moved) < mover.skin * mover.skin && !(dot(moved, normalized(motion)) >= hair);
    return mover.result.contacts > 0 && !overlapped && (lengthSquared(moved) < hair * hair || noHeadway);
}

// Ends a move at centre: what it stands on, snapped down by up to floorSnap
// onto a floor when it walked off one, and put down on its floor when it ends
// a hair above it (a standing sphere drops its fall, so it would hover) and
// nothing else is in the way (far from the origin a corner's contact can be
// rounded into one the sphere does not touch).
void land(Mover& mover, Vec3 centre, const Vec3& displacement, bool onFloorBefore, float floorSnap) {
    const Vec3& up = mover.up;
    Vec3 floorNormal, rest;
    bool onFloor = mover.standsOn(centre, floorNormal, rest);
    const bool falling = dot(displacement, up) <= 0.0f;
    if (!onFloor && onFloorBefore && floorSnap > 0.0f && falling) {
        const SweepHit snap = mover.sweepBy(centre, up * -floorSnap);
        const Vec3 snapped = centre + up * (-floorSnap * snap.time);
        if (mover.floor(snap, snapped, 0.0f)) {
            centre = mover.clearOfFloor(snapped, snap, mover.supportNormal(snap));
            mover.met(snap.triangle);
            onFloor = mover.standsOn(centre, floorNormal, rest);
        }
    }
    if (onFloor && falling && dot(centre - rest, up) > SETTLED * mover.skin && mover.clearAt(rest)) {
        centre = rest;
    }
    mover.result.position = centre;
    mover.result.onFloor = onFloor;
    mover.result.floorNormal = onFloor ? floorNormal : zeroVector;
}

}  // namespace

SlideResult moveAndSlide(const CollisionMesh& scene, Vec3 position, float radius, Vec3 displacement,
                         bool onFloorBefore, const SlideSettings& settings) {
    SlideResult result;
    result.position = position;
    if (!finite(position) || !finite(displacement) || !(radius >= 0.0f && std::isfinite(radius))) {
        return result;
    }
    Vec3 up = normalized(settings.up);
    if (!finite(up)) {
        up = Vec3(0.0f, 1.0f, 0.0f);
    }
    const float skin = settings.skin > 0.0f ? settings.skin : 0.0f;
    SweepOptions sweep(settings.edges, settings.faces);
    sweep.tolerance = std::max(skin, MIN_COLLISION_EPSILON);
    sweep.stats = settings.stats;
    const float slope = settings.maxSlopeDegrees * (3.14159265f / 180.0f);
    Mover mover{scene, radius, skin, up, std::cos(slope), settings.stepHeight, sweep, result};

    Vec3 centre = position;
    const bool overlapped = clearStart(mover, centre);

    // Standing, the fall into the floor is no motion at all, so a sphere at
    // rest on a slope stays exactly where it is.
    std::vector<Vec3> planes;
    Vec3 motion = displacement;
    bool standing = false;
    Vec3 normal, rest;
    if (onFloorBefore && mover.standsOn(centre, normal, rest)) {
        standing = true;
        planes.push_back(normal);
        if (dot(motion, up) <= 0.0f) {
            motion = mover.alongFloor(motion, normal);
        }
    }
    const int iterations = std::max(settings.iterations, 0);
    Pass chosen = slide(mover, centre, motion, planes, iterations);
    const Vec3 walk = mover.horizontal(displacement);
    if (standing && chosen.metWall && settings.stepHeight > 0.0f && lengthSquared(walk) > 0.0f) {
        stepUp(mover, centre, walk, settings.stepHeight, iterations, chosen);
    }
    if (keepsStart(mover, position, chosen.centre, motion, overlapped)) {
        chosen.centre = position;
    }
    result.iterations = chosen.iterations;
    land(mover, chosen.centre, displacement, onFloorBefore, settings.floorSnap);
    return result;
}

}  // namespace sweepview
