#pragma once

#include <span>

#include "../geometry/swept_sphere.h"
#include "../scene/collision_mesh.h"
#include "contact_state.h"
#include "sweep_setup.h"

namespace sweepview {

// Sweeps every sphere of spheres against scene on up to `threads` threads
// (0 or less: std::thread::hardware_concurrency()), the calling thread one of
// them, and never more threads than spheres. results[i] receives spheres[i]'s
// query: exactly what sweepQuery(scene, spheres[i], state, options) leaves in
// a new ContactState and returns (found), bit for bit, whatever the thread
// count. Each result is reset first (hitTriangles emptied, keeping its
// capacity, contactNormal zero), so a miss leaves found 0, nearestTime
// +infinity, a zero normal and no triangles. A non-number sphere gets what
// sweepQuery gives it. results must be as long as spheres (checked in debug
// builds; otherwise only the shorter length is swept). A scene without a root
// finds nothing.
//
// Threads: the sweeps are handed out in contiguous chunks, each thread taking
// the next chunk as it finishes one, so an uneven batch still balances. The
// call only reads the scene: other queries and batches may run on it at
// once. With options.stats set each thread counts its own work, added to the
// record before the call returns. Helper threads are kept from call to
// call (as many as the largest call asked for, less the caller), asleep
// between batches. The call returns once every sweep is done, without waiting
// for a helper the system has not woken yet (it finds nothing left and goes
// back to sleep). When the system refuses a thread, the call goes on with
// those it has. An exception from a sweep
// (memory for hitTriangles) is thrown again by the call once every thread
// that took sweeps has stopped; results are then partly filled.
void sweepBatch(const CollisionMesh& scene, std::span<const SweptSphere> spheres,
                std::span<ContactState> results, int threads, SweepOptions options = {});

}  // namespace sweepview
