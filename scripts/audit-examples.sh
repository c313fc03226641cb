#!/usr/bin/env bash
# The audit's evidence: dorn audit on the bundled scenes, on real meshes of
# Debian's assimp-testmodels fitted into a room, on a room whose floor is a
# grid of 50 coplanar triangles, and on that room with one floor triangle
# removed; reports and coloured meshes in build/audit/, a summary table per
# scene on standard output, and a top view of the holed room's floor
# (docs/images/audit-hole.png) with its hole and where spheres escaped.
#   scripts/audit-examples.sh [dorn audit options...]     (after a release build)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/bench_scenes.sh
out=build/audit
mkdir -p "$out"

# A closed room from -50 to 50, each side 5 x 5 squares of two coplanar
# triangles, faces inwards (dorn build joins the sides' shared corners); with
# HOLE set, the floor's (y = -50) first triangle, at its corner where x and z
# are -50, left out.
tiled_room() {
    awk -v hole="$1" 'BEGIN {
        n = 0
        for (f = 0; f < 6; ++f) {
            axis = int(f / 2); side = f % 2 ? 50 : -50; a1 = (axis + 1) % 3; a2 = (axis + 2) % 3
            for (i = 0; i <= 5; ++i) for (j = 0; j <= 5; ++j) {
                p[axis] = side; p[a1] = -50 + 20 * i; p[a2] = -50 + 20 * j
                printf "v %d %d %d\n", p[0], p[1], p[2]
            }
            for (i = 0; i < 5; ++i) for (j = 0; j < 5; ++j) {
                a = n + i * 6 + j + 1; b = a + 6
                if (side < 0) {
                    if (!(hole && f == 2 && i == 0 && j == 0)) printf "f %d %d %d\n", a, b, b + 1
                    printf "f %d %d %d\n", a, b + 1, a + 1
                } else {
                    printf "f %d %d %d\nf %d %d %d\n", a, b + 1, b, a, a + 1, b + 1
                }
            }
            n += 36
        }
    }'
}
tiled_room 0 >"$out/tiled-room.obj"
tiled_room 1 >"$out/holed-room.obj"
for name in tiled-room holed-room; do
    build/bin/dorn build "$out/$name.obj" -o "$out/$name.dorn" >/dev/null
done

scenes=(build/scenes/default.dorn build/scenes/wuson.dorn $(make_real_scenes build/bench-scenes)
        "$out/tiled-room.dorn" "$out/holed-room.dorn")
for scene in "${scenes[@]}"; do
    name=$(basename "$scene" .dorn)
    echo "### $name"
    build/bin/dorn audit "$scene" --report "$out/$name.json" --ply "$out/$name.ply" "$@" || true
    echo
done

# Top view of the holed room's floor after 5,000 short flights: triangles by
# their events, and where the escaping spheres began their last step.
build/bin/dorn audit "$out/holed-room.dorn" --starts 5000 --steps 500 --ply "$out/holed-many.ply" "$@" |
    grep -E '^\| (boundary|escape) '
if command -v gnuplot >/dev/null; then
    awk 'BEGIN { n = 0; f = 0 } /^end_header/ { body = 1; next }
         /^element vertex/ { nv = $3 } /^element face/ { nf = $3 }
         body && n < nv { x[n] = $1; y[n] = $2; z[n] = $3; r[n] = $4; g[n] = $5; b[n] = $6; ++n; next }
         body && f < nf { if (y[$2] < -49 && y[$3] < -49 && y[$4] < -49)
                              printf "%g %g %d\n%g %g %d\n%g %g %d\n%g %g %d\n\n", x[$2], z[$2], $5 * 65536 + $6 * 256 + $7,
                                     x[$3], z[$3], $5 * 65536 + $6 * 256 + $7, x[$4], z[$4], $5 * 65536 + $6 * 256 + $7,
                                     x[$2], z[$2], $5 * 65536 + $6 * 256 + $7 > "'"$out"'/floor.dat"
                          ++f; next }
         END { for (i = 0; i < n; ++i) if (b[i] == 255 && r[i] == 0 && g[i] == 0) print x[i], z[i] > "'"$out"'/escapes.dat" }' \
        "$out/holed-many.ply"
    gnuplot <<PLOT
set terminal pngcairo size 640,640
set output 'docs/images/audit-hole.png'
set size square
set xrange [-52:52]; set yrange [-52:52]
set xlabel 'x'; set ylabel 'z'
set title 'holed room: floor triangles by events (grey none), escapes (blue)'
plot '$out/floor.dat' using 1:2:3 with filledcurves closed lc rgb variable notitle, \
     '$out/floor.dat' using 1:2 with lines lc rgb 'black' notitle, \
     '$out/escapes.dat' using 1:2 with points pt 7 ps 0.8 lc rgb 'blue' title 'escape'
PLOT
fi
