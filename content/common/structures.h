// Steel structures and rolling stock the scenes are built from: lattice
// girders, gantries, masts, towers, sheds, wagons and the locomotive.
#pragma once

#include "common/mesh.h"

namespace content {

// A lattice girder from a to b: top and bottom chords `depth` apart (along
// `up`), verticals every `panel` and alternating diagonals.
void addTruss(Mesh& mesh, V3 a, V3 b, float depth, float panel, float bar, V3 up = {0, 1, 0});
// A box-lattice column from `base` up by `height`, `width` square.
void addLatticeColumn(Mesh& mesh, V3 base, float height, float width, float bar);
// A signal gantry across the x axis at `z`: lattice columns at x0 and x1 and
// a box girder on top at `height`.
void addGantry(Mesh& mesh, float x0, float x1, float z, float height, float bar);
// An overhead-line mast at `base` with a cantilever arm of `reach` towards +x
// (negative reach: towards -x).
void addMast(Mesh& mesh, V3 base, float height, float reach);
// A floodlight tower: lattice column with a lamp head; the head goes into
// `lampGroup` of the mesh.
void addLampTower(Mesh& mesh, V3 base, float height, int lampGroup);
// A goods wagon standing on a track along z at `centre` (rail top at centre.y).
void addWagon(Mesh& mesh, V3 centre, float length, bool tank);

// The locomotive, 20 units long along -z (its front at z = -10), rail top at
// y = 0, 3 wide. Groups: 0 body, 1 glazing, 2 lamps, 3 running gear.
Mesh locomotive();
// A passenger coach with the same section; lit windows in group 2.
Mesh coach(float length);

}  // namespace content
