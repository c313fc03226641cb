# The real meshes of the benchmark and soak sets, from Debian's
# assimp-testmodels, each fitted into 80 units and closed in a room of 100
# (from -50 to 50), made with `dorn build` into $1 unless already there.
# Sourced; prints the scene files made.
make_real_scenes() {
    local scenes=$1 models=/usr/share/assimp/models mesh name
    mkdir -p "$scenes"
    for mesh in OBJ/spider.obj STL/3DSMaxExport.STL Collada/COLLADA.dae \
        glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb; do
        name=$(basename "${mesh%.*}" | tr 'A-Z.' 'a-z-')
        [[ -e $scenes/$name.dorn ]] ||
            build/bin/dorn build "$models/$mesh" --center --fit 80 --room 50 -o "$scenes/$name.dorn" >/dev/null
        echo "$scenes/$name.dorn"
    done
}
